#include "tools/kvreport/csv_text.h"

#include <cwchar>

namespace kvreport {

void AppendCsvQuoted(std::wstring& out, const std::wstring& text)
{
    if (text.find_first_of(L",\"\r\n") == std::wstring::npos) {
        out += text;
        return;
    }
    out += L'"';
    for (wchar_t c : text) {
        if (c == L'"')
            out += L'"';
        out += c;
    }
    out += L'"';
}

std::wstring CsvQuoted(const std::wstring& text)
{
    std::wstring quoted;
    AppendCsvQuoted(quoted, text);
    return quoted;
}

std::wstring SpreadsheetField(const std::wstring& text, bool number)
{
    if (!number && !text.empty() && wcschr(L"=+-@\t\r", text[0]))
        return CsvQuoted(L"'" + text);
    return CsvQuoted(text);
}

}  // namespace kvreport
