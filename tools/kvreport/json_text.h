// JSON texts of KvReport's exports: json's document and table's JSON lines.
#pragma once

#include <string>

namespace kvreport {

// text as a JSON string, quotes included; control characters escaped.
std::wstring JsonString(const std::wstring& text);
// The same, appended to json.
void AppendJsonString(std::wstring& json, const std::wstring& text);

// "name": json
std::wstring JsonMember(const wchar_t* name, const std::wstring& json);

}  // namespace kvreport
