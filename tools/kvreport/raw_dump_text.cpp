#include "tools/kvreport/raw_dump_text.h"

#include <cwchar>

namespace kvreport {
namespace {

const size_t kBytesPerLine = 16;
// Blocks of up to this many bytes are shown whole; only longer ones lose trailing FF bytes.
const size_t kShownWhole = 256;
const wchar_t kRemarkStart[] = L"(remaining ";
const wchar_t kRemarkEnd[] = L" bytes are FF)";

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// The count of a remark line, or 0 when the line is none.
unsigned long RemarkCount(const std::wstring& line)
{
    size_t start = wcslen(kRemarkStart);
    size_t end = wcslen(kRemarkEnd);
    if (line.size() <= start + end || line.compare(0, start, kRemarkStart) != 0 ||
        line.compare(line.size() - end, end, kRemarkEnd) != 0)
        return 0;
    std::wstring digits = line.substr(start, line.size() - start - end);
    if (digits.empty() || digits.size() > 9 || digits[0] == L'0' ||
        digits.find_first_not_of(L"0123456789") != std::wstring::npos)
        return 0;
    return wcstoul(digits.c_str(), nullptr, 10);
}

std::vector<std::wstring> SplitAtLineFeeds(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

bool ParseLine(const std::wstring& line, size_t number, bool last, std::vector<unsigned char>& bytes,
               std::wstring& problem)
{
    std::wstring where = L"line " + std::to_wstring(number) + L" of the dump ";
    if (line.empty() || line.size() % 2 != 0 || line.size() > 2 * kBytesPerLine) {
        problem = where + L"holds " + std::to_wstring(line.size()) + L" characters, not 2 to 32 in pairs";
        return false;
    }
    if (!last && line.size() != 2 * kBytesPerLine) {
        problem = where + L"holds " + std::to_wstring(line.size() / 2) + L" bytes; only the last may hold fewer than 16";
        return false;
    }
    for (size_t i = 0; i < line.size(); i += 2) {
        int high = HexDigit(line[i]);
        int low = HexDigit(line[i + 1]);
        if (high < 0 || low < 0) {
            problem = where + L"holds \"" + line.substr(i, 2) + L"\", not two upper-case hexadecimal digits";
            return false;
        }
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return true;
}

}  // namespace

bool ParseRawDump(const std::wstring& text, std::vector<unsigned char>& bytes, std::wstring& problem)
{
    bytes.clear();
    if (text.empty())
        return true;  // a block of no bytes
    if (text[0] != L'\n') {
        problem = L"a dump starts with a line break";
        return false;
    }
    std::vector<std::wstring> lines = SplitAtLineFeeds(text.substr(1));
    unsigned long remaining = RemarkCount(lines.back());
    if (remaining)
        lines.pop_back();
    for (size_t i = 0; i < lines.size(); ++i)
        if (!ParseLine(lines[i], i + 1, i + 1 == lines.size(), bytes, problem))
            return false;
    // Trailing FF bytes are left out of a block beyond its first 256 bytes, all of them.
    if (remaining && bytes.size() < kShownWhole) {
        problem = L"the remark on left-out FF bytes follows " + std::to_wstring(bytes.size()) +
                  L" bytes; the first 256 are always shown";
        return false;
    }
    if (remaining && bytes.size() > kShownWhole && bytes.back() == 0xFF) {
        problem = L"the dump shows an FF byte at its end beside the remark on left-out FF bytes";
        return false;
    }
    bytes.insert(bytes.end(), remaining, 0xFF);
    return true;
}

}  // namespace kvreport
