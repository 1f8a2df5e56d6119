#include "tools/kvreport/json_text.h"

#include <cwchar>

namespace kvreport {

void AppendJsonString(std::wstring& json, const std::wstring& text)
{
    json += L'"';
    for (wchar_t c : text) {
        switch (c) {
        case L'"': json += L"\\\""; break;
        case L'\\': json += L"\\\\"; break;
        case L'\n': json += L"\\n"; break;
        case L'\r': json += L"\\r"; break;
        case L'\t': json += L"\\t"; break;
        default:
            if (c < 0x20) {
                wchar_t escaped[8];
                swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
                json += escaped;
            } else {
                json += c;
            }
        }
    }
    json += L'"';
}

std::wstring JsonString(const std::wstring& text)
{
    std::wstring json;
    AppendJsonString(json, text);
    return json;
}

std::wstring JsonMember(const wchar_t* name, const std::wstring& json) { return JsonString(name) + L": " + json; }

}  // namespace kvreport
