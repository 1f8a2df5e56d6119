// The report line builder: whatever the text, one well-formed line that reads back
// as the text (one final line feed dropped, characters XML forbids as U+FFFD).
#include "fuzz_input.h"
#include "report/xml_line.h"

using kvfuzz::Require;

namespace {

bool IsXmlChar(wchar_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
}

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The value as a reader sees it: the four entities turned back into their characters.
bool Unescape(const std::wstring& escaped, std::wstring& text)
{
    static const struct { const wchar_t* entity; wchar_t c; } kEntities[] = {
        {L"&amp;", L'&'}, {L"&quot;", L'"'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}};
    for (size_t i = 0; i < escaped.size(); ++i) {
        const wchar_t c = escaped[i];
        if (c == L'<' || c == L'>' || c == L'"')
            return false;
        if (c != L'&') {
            text += c;
            continue;
        }
        bool known = false;
        for (const auto& e : kEntities) {
            const std::wstring entity(e.entity);
            if (escaped.compare(i, entity.size(), entity) == 0) {
                text += e.c;
                i += entity.size() - 1;
                known = true;
                break;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

// Every character kept or, where XML forbids it (an unpaired surrogate too), U+FFFD.
void CheckSanitized(const std::wstring& given, const std::wstring& written)
{
    Require(given.size() == written.size(), "the value keeps its length");
    for (size_t i = 0; i < given.size(); ++i) {
        const wchar_t c = given[i];
        const bool paired = IsHigh(c) ? i + 1 < given.size() && IsLow(given[i + 1])
                                      : IsLow(c) && i > 0 && IsHigh(given[i - 1]) && written[i - 1] == given[i - 1];
        if (IsXmlChar(c) || paired)
            Require(written[i] == c, "an allowed character is kept");
        else
            Require(written[i] == 0xFFFD, "a forbidden character becomes U+FFFD");
    }
}

void CheckElement(const std::wstring& name, const std::wstring& value, const std::wstring* attribute, int depth)
{
    const std::wstring format = L"Format";
    const std::wstring line = kv::BuildElementLine(name.c_str(), value.c_str(), attribute ? format.c_str() : nullptr,
                                                   attribute ? attribute->c_str() : nullptr, depth);
    const size_t tabs = depth > 0 ? static_cast<size_t>(depth) : 0;
    std::wstring head = std::wstring(tabs, L'\t') + L'<' + name;
    if (attribute) {
        std::wstring shown = *attribute;
        if (!shown.empty() && shown.back() == L'\n')
            shown.pop_back();
        head += L" Format=\"" + shown + L'"';
    }
    head += L'>';
    const std::wstring tail = L"</" + name + L">\r\n";
    Require(line.size() >= head.size() + tail.size(), "the line holds start and end tag");
    Require(line.compare(0, head.size(), head) == 0, "the line starts with its tabs and start tag");
    Require(line.compare(line.size() - tail.size(), tail.size(), tail) == 0, "the line ends with end tag and CR LF");

    std::wstring read;
    Require(Unescape(line.substr(head.size(), line.size() - head.size() - tail.size()), read),
            "the value holds no markup character");
    std::wstring given = value;
    if (!given.empty() && given.back() == L'\n')
        given.pop_back();
    CheckSanitized(given, read);
}

void CheckTag(const std::wstring& name, int depth)
{
    const size_t tabs = depth > 0 ? static_cast<size_t>(depth) : 0;
    const std::wstring expected = std::wstring(tabs, L'\t') + L"</" + name + L">\r\n";
    std::wstring line = L"unchanged";
    const bool built = kv::BuildTagLine(L"</", name.c_str(), depth, line);
    Require(built == (expected.size() <= kv::kMaxTagLineChars), "a tag line is refused only when too long");
    Require(line == (built ? expected : L"unchanged"), "a tag line is built exactly, or not at all");
}

}  // namespace

// Bytes: depth, attribute flag, then UTF-16 units: name, NUL, value, NUL, attribute value.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int depth = static_cast<int>(data[0] % 300) - 20;
    const bool withAttribute = data[1] & 1;
    std::vector<std::wstring> pieces = kvfuzz::SplitAtNul(kvfuzz::Utf16Units(data + 2, size - 2));
    pieces.resize(3);
    std::wstring& name = pieces[0];
    if (name.empty())
        name = L"TestResult";
    CheckElement(name, pieces[1], withAttribute ? &pieces[2] : nullptr, depth);
    CheckTag(name, depth);
    return 0;
}
