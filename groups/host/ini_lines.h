// The name-value lines of an 8-bit INI file, taken apart without any Windows call.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kv {

// Splits 8-bit text into lines as it arrives in pieces: each byte becomes one
// character (a NUL, which XML forbids, becomes U+FFFD), a line ends at LF and
// loses a CR before it.
class IniLineSplitter {
public:
    // Appends the lines completed by bytes to lines.
    void Feed(const char* bytes, size_t count, std::vector<std::wstring>& lines);
    // Appends the last line when the text does not end with a line feed.
    void Finish(std::vector<std::wstring>& lines);

private:
    std::wstring m_line;
};

// "name=value": the text before the first "=" and the rest after it, blanks kept.
// False for a line without "=".
bool SplitNameValue(const std::wstring& line, std::wstring& name, std::wstring& value);

}  // namespace kv
