#include "report/xml_line.h"

namespace kv {
namespace {

void DropTrailingLineFeed(std::wstring& text)
{
    if (!text.empty() && text.back() == L'\n')
        text.pop_back();
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Device strings, registry values and INI lines may hold characters that XML 1.0
// forbids; a single one would make the whole report unreadable.
void ReplaceForbiddenCharacters(std::wstring& text)
{
    const wchar_t kReplacement = 0xFFFD;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') {
            text[i] = kReplacement;
        } else if (c == 0xFFFE || c == 0xFFFF) {
            text[i] = kReplacement;
        } else if (IsHighSurrogate(c)) {
            if (i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
                ++i;
            else
                text[i] = kReplacement;
        } else if (IsLowSurrogate(c)) {
            text[i] = kReplacement;
        }
    }
}

void AppendEscaped(std::wstring& line, const std::wstring& value)
{
    // One pass with the same result as the replace-all passes "&", quotation mark, "<", ">".
    for (wchar_t c : value) {
        switch (c) {
        case L'&': line += L"&amp;"; break;
        case L'"': line += L"&quot;"; break;
        case L'<': line += L"&lt;"; break;
        case L'>': line += L"&gt;"; break;
        default: line += c; break;
        }
    }
}

std::wstring Indentation(int depth) { return std::wstring(depth > 0 ? static_cast<size_t>(depth) : 0, L'\t'); }

}  // namespace

bool BuildTagLine(const wchar_t* opening, const wchar_t* name, int depth, std::wstring& line)
{
    std::wstring built = Indentation(depth);
    built += opening;
    built += name ? name : L"";
    built += L">\r\n";
    if (built.size() > kMaxTagLineChars)
        return false;
    line = std::move(built);
    return true;
}

std::wstring BuildElementLine(const wchar_t* name, const wchar_t* value, const wchar_t* attributeName,
                              const wchar_t* attributeValue, int depth)
{
    std::wstring text(value);
    DropTrailingLineFeed(text);
    ReplaceForbiddenCharacters(text);

    std::wstring line = Indentation(depth);
    line.reserve(line.size() + text.size() + 64);
    line += L'<';
    line += name;
    if (attributeName) {
        std::wstring attribute(attributeValue ? attributeValue : L"");
        DropTrailingLineFeed(attribute);
        line += L' ';
        line += attributeName;
        line += L"=\"";
        line += attribute;
        line += L'"';
    }
    line += L'>';
    AppendEscaped(line, text);
    line += L"</";
    line += name;
    line += L">\r\n";
    return line;
}

}  // namespace kv
