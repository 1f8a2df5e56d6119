// INI lines: the same lines however the bytes arrive, each the text between line
// feeds without one carriage return before its end, NUL shown as U+FFFD.
#include "fuzz_input.h"
#include "groups/host/ini_lines.h"

#include <algorithm>

using kvfuzz::Require;

// Bytes: the size of the pieces the text arrives in, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = data[0] % 17 + 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    std::vector<std::wstring> lines;
    kv::IniLineSplitter pieces;
    for (size_t at = 0; at < length; at += piece)
        pieces.Feed(text + at, std::min(piece, length - at), lines);
    pieces.Finish(lines);

    std::vector<std::wstring> expected;
    std::wstring line;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\n') {
            line += text[i] == '\0' ? static_cast<wchar_t>(0xFFFD) : static_cast<wchar_t>(static_cast<uint8_t>(text[i]));
            continue;
        }
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (i < length || !line.empty())
            expected.push_back(line);
        line.clear();
    }
    Require(lines == expected, "the lines are the text between line feeds");

    for (const std::wstring& each : lines) {
        std::wstring name = L"old", value = L"old";
        const bool split = kv::SplitNameValue(each, name, value);
        Require(split == (each.find(L'=') != std::wstring::npos), "a line with = is split");
        if (split)
            Require(name.find(L'=') == std::wstring::npos && name + L'=' + value == each,
                    "name and value are the text around the first =");
        else
            Require(name == L"old" && value == L"old", "a line without = changes nothing");
    }
    return 0;
}
