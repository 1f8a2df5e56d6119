#include "report/xml_writer.h"

#include <string>

namespace kv {
namespace {

const size_t kTagBufferChars = 260;

DWORD WriteLine(HANDLE file, const std::wstring& line)
{
    DWORD bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    DWORD written = 0;
    // A short write is as much a failure as a failed call: the line is incomplete.
    if (!::WriteFile(file, line.data(), bytes, &written, nullptr) || written != bytes)
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

DWORD WriteTag(HANDLE file, const wchar_t* opening, const wchar_t* name, int depth)
{
    if (!file)
        return ERROR_INVALID_HANDLE;
    std::wstring line(depth > 0 ? static_cast<size_t>(depth) : 0, L'\t');
    line += opening;
    line += name ? name : L"";
    line += L">\r\n";
    if (line.size() > kTagBufferChars - 1)
        return ERROR_BAD_ARGUMENTS;
    return WriteLine(file, line);
}

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

}  // namespace

const wchar_t kManualSubCats[] = L"MANUALSUBCATS";

DWORD WriteStartTag(HANDLE file, const wchar_t* name, int depth) { return WriteTag(file, L"<", name, depth); }

DWORD WriteEndTag(HANDLE file, const wchar_t* name, int depth) { return WriteTag(file, L"</", name, depth); }

DWORD WriteElement(HANDLE file, const wchar_t* name, const wchar_t* value, const wchar_t* attributeName,
                   const wchar_t* attributeValue, int depth)
{
    if (!file)
        return ERROR_INVALID_HANDLE;
    if (!name || !value)
        return ERROR_BAD_ARGUMENTS;

    std::wstring text(value);
    DropTrailingLineFeed(text);
    ReplaceForbiddenCharacters(text);

    std::wstring line(depth > 0 ? static_cast<size_t>(depth) : 0, L'\t');
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
    return WriteLine(file, line);
}

}  // namespace kv
