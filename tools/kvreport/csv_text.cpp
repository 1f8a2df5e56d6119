#include "tools/kvreport/csv_text.h"

#include <cwchar>

namespace kvreport {

std::wstring CsvQuoted(const std::wstring& text)
{
    if (text.find_first_of(L",\"\r\n") == std::wstring::npos)
        return text;
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    return quoted + L"\"";
}

std::wstring SpreadsheetField(const std::wstring& text, bool number)
{
    if (!number && !text.empty() && wcschr(L"=+-@\t\r", text[0]))
        return CsvQuoted(L"'" + text);
    return CsvQuoted(text);
}

}  // namespace kvreport
