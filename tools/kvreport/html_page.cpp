#include "tools/kvreport/html_page.h"

#include "tools/kvreport/report_model.h"

namespace kvreport {

std::wstring HtmlEscape(const std::wstring& text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        case L'\'': escaped += L"&#39;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

std::string HtmlPage(const std::wstring& title, const std::wstring& body, const wchar_t* script)
{
    std::wstring page =
        L"<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"UTF-8\">\r\n<title>" +
        HtmlEscape(title) +
        L"</title>\r\n<style>\r\n"
        L"body { font-family: Segoe UI, Arial, sans-serif; font-size: 10pt; margin: 1.5em; }\r\n"
        L"table { border-collapse: collapse; margin-bottom: 1.5em; }\r\n"
        L"th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; vertical-align: top; }\r\n"
        L"th { background: #dde4ee; }\r\n"
        L"td.number { text-align: right; }\r\n"
        L"tr.attention td, td.attention, p.attention { color: #c00000; }\r\n"
        L"table.sortable th { cursor: pointer; }\r\n"
        L"pre { margin: 0; font-family: Consolas, monospace; }\r\n"
        L"</style>\r\n</head>\r\n<body>\r\n<h1>" +
        HtmlEscape(title) + L"</h1>\r\n" + body +
        (script ? L"<script>\r\n" + std::wstring(script) + L"</script>\r\n" : std::wstring()) +
        L"</body>\r\n</html>\r\n";
    return ToUtf8(page);
}

}  // namespace kvreport
