#include "tools/kvreport/redaction_check.h"

#include "tools/kvreport/files.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <set>

namespace kvreport {
namespace {

// Names shorter than this are parts of too many words to be looked for in file names.
const size_t kShortestInName = 3;
const size_t kLongestDumpLine = 32;

std::wstring FromUtf8(const std::string& bytes, size_t from)
{
    int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data() + from, static_cast<int>(bytes.size() - from), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data() + from, static_cast<int>(bytes.size() - from), &text[0], size);
    return text;
}

std::wstring FromUtf16(const std::string& bytes, size_t from)
{
    std::wstring text;
    for (size_t i = from; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
}

std::wstring From8Bit(const std::string& bytes)
{
    std::wstring text;
    for (char c : bytes)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

// Every way the file's bytes can be read as text: its own encoding first.
std::vector<std::wstring> TextViews(const std::string& bytes)
{
    bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                 static_cast<unsigned char>(bytes[1]) == 0xFE;
    bool utf8Mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    return {utf16 ? FromUtf16(bytes, 2) : FromUtf8(bytes, utf8Mark ? 3 : 0), From8Bit(bytes), FromUtf16(bytes, 0),
            FromUtf16(bytes, 1)};
}

wchar_t Entity(const std::wstring& name)
{
    const std::pair<const wchar_t*, wchar_t> kNamed[] = {
        {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", L' '}};
    for (const auto& named : kNamed)
        if (name == named.first)
            return named.second;
    if (name.size() > 1 && name[0] == L'#') {
        bool hex = name[1] == L'x' || name[1] == L'X';
        unsigned long code = wcstoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
        return code > 0 && code < 0xFFFF ? static_cast<wchar_t>(code) : L' ';
    }
    return 0;
}

// The text between the markup, entities resolved; every tag stands as a line break, so
// that texts of two elements never join into one word.
std::wstring TextOutsideMarkup(const std::wstring& text)
{
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'<') {
            size_t end = text.find(L'>', i);
            if (end != std::wstring::npos) {
                plain += L'\n';
                i = end;
                continue;
            }
        }
        if (text[i] == L'&') {
            size_t end = text.find(L';', i);
            wchar_t c = end != std::wstring::npos && end - i < 10 ? Entity(text.substr(i + 1, end - i - 1)) : 0;
            if (c) {
                plain += c;
                i = end;
                continue;
            }
        }
        plain += text[i];
    }
    return plain;
}

// Blanks over every placeholder, which may well hold a value's word ("User" in "User-1").
void BlankPlaceholders(std::wstring& folded, const std::vector<std::wstring>& placeholders)
{
    for (const std::wstring& placeholder : placeholders) {
        std::wstring wanted = Folded(placeholder);
        for (size_t at = folded.find(wanted); at != std::wstring::npos; at = folded.find(wanted, at))
            folded.replace(at, wanted.size(), wanted.size(), L' ');
    }
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    c = static_cast<wchar_t>(towupper(c));
    return c >= L'A' && c <= L'F' ? c - L'A' + 10 : -1;
}

// The bytes of every run of lines that hold nothing but pairs of hexadecimal digits: the
// dumps, wherever a file shows them.
std::vector<std::vector<unsigned char>> HexBlocks(const std::wstring& plain)
{
    std::vector<std::vector<unsigned char>> blocks(1);
    size_t start = 0;
    while (start <= plain.size()) {
        size_t end = std::min(plain.find(L'\n', start), plain.size());
        std::wstring line = plain.substr(start, end - start);
        size_t first = line.find_first_not_of(L" \t\r");
        size_t last = line.find_last_not_of(L" \t\r");
        line = first == std::wstring::npos ? std::wstring() : line.substr(first, last - first + 1);
        bool hex = !line.empty() && line.size() % 2 == 0 && line.size() <= kLongestDumpLine &&
                   std::all_of(line.begin(), line.end(), [](wchar_t c) { return HexValue(c) >= 0; });
        if (hex) {
            for (size_t i = 0; i < line.size(); i += 2)
                blocks.back().push_back(static_cast<unsigned char>(HexValue(line[i]) * 16 + HexValue(line[i + 1])));
        } else if (!blocks.back().empty()) {
            blocks.emplace_back();
        }
        start = end + 1;
    }
    return blocks;
}

std::wstring Survivor(const PrivateValue& value, const std::wstring& where)
{
    return L"\"" + value.value + L"\" (" + value.what + L") " + where;
}

}  // namespace

std::vector<std::wstring> FindSurvivors(const std::vector<PrivateValue>& values,
                                        const std::vector<std::wstring>& placeholders, const Vocabulary& vocabulary,
                                        const std::vector<WrittenFile>& files)
{
    std::set<std::wstring> found;  // one line per value and place, in a stable order
    std::vector<std::wstring> lines;
    auto add = [&](const std::wstring& line) {
        if (found.insert(line).second)
            lines.push_back(line);
    };
    for (const WrittenFile& file : files) {
        std::wstring name = Folded(file.name);
        BlankPlaceholders(name, placeholders);
        for (const PrivateValue& value : values)
            if (value.value.size() >= kShortestInName && name.find(Folded(value.value)) != std::wstring::npos)
                add(Survivor(value, L"in the file name " + file.name));

        std::string bytes;
        DWORD code = 0;
        if (!ReadWholeFile(file.path, bytes, code)) {
            add(file.name + L" cannot be read back to be checked: " + SystemMessage(code));
            continue;
        }
        std::vector<std::wstring> views = TextViews(bytes);
        for (size_t v = 0; v < views.size(); ++v) {
            std::wstring plain = TextOutsideMarkup(views[v]);
            std::wstring folded = Folded(plain);
            BlankPlaceholders(folded, placeholders);
            for (const PrivateValue& value : values)
                if (FindPrivate(folded, Folded(value.value), 0, SearchedAsWord(value.value, vocabulary)) !=
                    std::wstring::npos)
                    add(Survivor(value, L"in " + file.name));
            if (v != 0)
                continue;
            for (const std::vector<unsigned char>& block : HexBlocks(plain))
                for (const PrivateValue& value : values)
                    if (BytesHold(block, value.value))
                        add(Survivor(value, L"in a hexadecimal dump in " + file.name));
        }
    }
    return lines;
}

}  // namespace kvreport
