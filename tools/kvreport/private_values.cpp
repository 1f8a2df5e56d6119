#include "tools/kvreport/private_values.h"

#include "tools/kvreport/kvreport_resource.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace kvreport {
namespace {

// How the program's report names start, folded.
const wchar_t kReportNamePrefix[] = L"kvinspectra";
// Shorter values are looked for as path components only: as words they would match
// parts of ordinary texts.
const size_t kShortestWord = 5;
// Numbers below this identify nothing (a count, a small code).
const unsigned long kSmallestIdentifyingNumber = 10000;
// A number this long or longer is no binary value of a device (beyond 64 bits).
const size_t kLongestNumberDigits = 16;

bool IsWordCharacter(wchar_t c) { return iswalnum(c) || c == L'_'; }
bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
// A slash separates the parts of a path only in a text that holds an absolute one
// ("C:/Users/...", "//server/...", "/home/..."): "Monitor/Panel" is no path.
bool HoldsSlashPath(const std::wstring& text)
{
    return (!text.empty() && text[0] == L'/') || text.find(L":/") != std::wstring::npos ||
           text.find(L"//") != std::wstring::npos || text.find(L" /") != std::wstring::npos;
}
// What may stand beside a path component besides a separator: a path's end in a text.
bool EndsPathComponent(wchar_t c) { return IsPathSeparator(c) || iswspace(c) || wcschr(L"\"'<>|:;,()[]{}", c); }

// The common English words of five letters or more, one a line, lower case, built into
// the program from Debian's list of common American English words.
const std::unordered_set<std::wstring>& CommonWords()
{
    static const std::unordered_set<std::wstring> words = [] {
        std::unordered_set<std::wstring> loaded;
        HMODULE self = ::GetModuleHandleW(nullptr);
        HRSRC resource = ::FindResourceW(self, MAKEINTRESOURCEW(IDR_COMMON_WORDS), MAKEINTRESOURCEW(10));
        HGLOBAL data = resource ? ::LoadResource(self, resource) : nullptr;
        const char* text = data ? static_cast<const char*>(::LockResource(data)) : nullptr;
        if (!text)
            return loaded;
        const char* end = text + ::SizeofResource(self, resource);
        for (const char* start = text; start < end;) {
            const char* line = std::find(start, end, '\n');
            if (line > start)
                loaded.insert(std::wstring(start, line));
            start = line + 1;
        }
        return loaded;
    }();
    return words;
}

bool AllSame(const std::wstring& text) { return text.find_first_not_of(text[0]) == std::wstring::npos; }

// The digits of a value written as a hexadecimal number ("00C90017h", "0x1A2B", "1A2B"):
// empty when it is none.
std::wstring HexDigits(const std::wstring& value)
{
    std::wstring digits = value;
    if (digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X'))
        digits.erase(0, 2);
    else if (digits.size() > 1 && (digits.back() == L'h' || digits.back() == L'H'))
        digits.pop_back();
    bool hex = !digits.empty() && digits.size() <= kLongestNumberDigits &&
               std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return iswxdigit(c) != 0; });
    return hex ? digits : std::wstring();
}

bool IsDecimal(const std::wstring& value)
{
    return !value.empty() && value.size() <= kLongestNumberDigits &&
           std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool Contains(const std::vector<unsigned char>& bytes, const std::vector<unsigned char>& pattern)
{
    return !pattern.empty() && std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) != bytes.end();
}

std::vector<unsigned char> Utf8(const std::wstring& text)
{
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                              reinterpret_cast<char*>(bytes.data()), size, nullptr, nullptr);
    return bytes;
}

std::vector<unsigned char> Utf16(const std::wstring& text)
{
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

// A number's bytes, most significant first, as wide as its digits say (a value written
// with leading zeros keeps them: "00C90017h" is four bytes).
std::vector<unsigned char> BigEndian(unsigned long long number, size_t width)
{
    std::vector<unsigned char> bytes;
    for (; bytes.size() < width; number >>= 8)
        bytes.insert(bytes.begin(), static_cast<unsigned char>(number & 0xFF));
    return bytes;
}

// The binary forms in which a device may keep a number: as written, in both byte orders.
std::vector<std::vector<unsigned char>> BinaryForms(const std::wstring& value)
{
    std::vector<std::vector<unsigned char>> forms;
    std::wstring hex = HexDigits(value);
    if (hex.size() >= 4)
        forms.push_back(BigEndian(wcstoull(hex.c_str(), nullptr, 16), (hex.size() + 1) / 2));
    if (IsDecimal(value)) {
        unsigned long long number = wcstoull(value.c_str(), nullptr, 10);
        forms.push_back(BigEndian(number, number > 0xFFFFFFFFull ? 8 : number > 0xFFFF ? 4 : 2));
    }
    size_t count = forms.size();
    for (size_t i = 0; i < count; ++i)
        forms.push_back(std::vector<unsigned char>(forms[i].rbegin(), forms[i].rend()));
    return forms;
}

// The report's labels, descriptions and names: the words the report is made of.
std::vector<const std::wstring*> Labels(const Report& report)
{
    std::vector<const std::wstring*> labels;
    for (const ReportGroup& group : report.groups) {
        labels.push_back(&group.name);
        labels.push_back(&group.description);
        for (const ReportCategory& category : group.categories) {
            labels.push_back(&category.name);
            for (const ReportSubCategory& subcategory : category.subcategories) {
                labels.push_back(&subcategory.name);
                for (const ReportTest& test : subcategory.tests) {
                    labels.push_back(&test.name);
                    labels.push_back(&test.description);
                }
            }
        }
    }
    return labels;
}

// The program names its reports "KvInspectra<computer>.xml", "_1", "_2", ...: there the
// computer name stands alone although it is no whole word.
bool InProgramsReportName(const std::wstring& text, size_t at, wchar_t after)
{
    const size_t prefix = wcslen(kReportNamePrefix);
    return at >= prefix && text.compare(at - prefix, prefix, kReportNamePrefix) == 0 &&
           (after == L'_' || !IsWordCharacter(after));
}

}  // namespace

std::wstring Folded(const std::wstring& text)
{
    std::wstring folded = text;
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(towlower(c));
    return folded;
}

bool IsTrivial(const std::wstring& value)
{
    std::wstring text = value;
    while (!text.empty() && iswspace(text.back()))
        text.pop_back();
    text.erase(0, std::min(text.size(), text.find_first_not_of(L" \t\n")));
    if (text.empty() || text == L"N/A" || AllSame(text))
        return true;
    std::wstring hex = HexDigits(text);
    std::wstring core;
    for (wchar_t c : hex.empty() ? text : hex)
        if (iswalnum(c))
            core += static_cast<wchar_t>(towupper(c));
    if (core.empty() || (AllSame(core) && (core[0] == L'0' || core[0] == L'F')))
        return true;
    if (IsDecimal(text))
        return wcstoull(text.c_str(), nullptr, 10) < kSmallestIdentifyingNumber;
    bool written = !hex.empty() && hex.size() != text.size();  // "1A2Bh", "0x1A2B": a number by its form
    return written && wcstoull(hex.c_str(), nullptr, 16) < kSmallestIdentifyingNumber;
}

Vocabulary::Vocabulary(const Report& report)
{
    for (const std::wstring* label : Labels(report)) {
        std::wstring folded = Folded(*label);
        m_labels += folded + L"\n";
        std::wstring word;
        for (wchar_t c : folded + L" ") {
            if (IsWordCharacter(c)) {
                word += c;
            } else if (!word.empty()) {
                m_words.insert(word);
                word.clear();
            }
        }
    }
}

bool Vocabulary::Contains(const std::wstring& value) const
{
    std::wstring folded = Folded(value);
    bool oneWord = std::all_of(folded.begin(), folded.end(), IsWordCharacter);
    if (oneWord)
        return m_words.count(folded) != 0 || CommonWords().count(folded) != 0;
    for (size_t at = m_labels.find(folded); at != std::wstring::npos; at = m_labels.find(folded, at + 1)) {
        size_t end = at + folded.size();
        if ((at == 0 || !IsWordCharacter(m_labels[at - 1])) && (end == m_labels.size() || !IsWordCharacter(m_labels[end])))
            return true;
    }
    return false;
}

bool SearchedAsWord(const std::wstring& value, const Vocabulary& vocabulary)
{
    return value.size() >= kShortestWord && !IsTrivial(value) && !vocabulary.Contains(value);
}

bool StandsAt(const std::wstring& text, size_t at, const std::wstring& value, bool asWord)
{
    if (value.empty() || text.compare(at, value.size(), value) != 0)
        return false;
    size_t end = at + value.size();
    wchar_t before = at > 0 ? text[at - 1] : L' ';
    wchar_t after = end < text.size() ? text[end] : L' ';
    if (asWord && !IsWordCharacter(before) && !IsWordCharacter(after))
        return true;
    if (InProgramsReportName(text, at, after))
        return true;
    if (!EndsPathComponent(before) || !EndsPathComponent(after))
        return false;
    return before == L'\\' || after == L'\\' ||
           ((before == L'/' || after == L'/') && HoldsSlashPath(text));
}

size_t FindPrivate(const std::wstring& text, const std::wstring& value, size_t from, bool asWord)
{
    if (value.empty())
        return std::wstring::npos;
    for (size_t at = text.find(value, from); at != std::wstring::npos; at = text.find(value, at + 1))
        if (StandsAt(text, at, value, asWord))
            return at;
    return std::wstring::npos;
}

bool BytesHold(const std::vector<unsigned char>& bytes, const std::wstring& value)
{
    if (value.empty())
        return false;
    // Text in any case: compare lower-case ASCII letters on both sides.
    std::vector<unsigned char> folded(bytes);
    for (unsigned char& b : folded)
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
    std::wstring lower = Folded(value);
    if (Contains(folded, Utf8(lower)) || Contains(folded, Utf16(lower)))
        return true;
    for (const std::vector<unsigned char>& form : BinaryForms(value))
        if (Contains(bytes, form))
            return true;
    return false;
}

}  // namespace kvreport
