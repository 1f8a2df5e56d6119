// CSV fields as RFC 4180 has them, for summary and table.
#pragma once

#include <string>

namespace kvreport {

// The text as one field: in double quotes (inner ones doubled) when it holds a comma, a
// quote or a line break, else as it is.
std::wstring CsvQuoted(const std::wstring& text);
// The same, appended to out.
void AppendCsvQuoted(std::wstring& out, const std::wstring& text);

// The same for a spreadsheet: a text it would run as a formula ("=", "+", "-", "@")
// gets a leading apostrophe first; numbers stay as they are.
std::wstring SpreadsheetField(const std::wstring& text, bool number);

}  // namespace kvreport
