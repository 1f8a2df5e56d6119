// Turning a fuzzer's bytes into the inputs of the program's pure pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kvfuzz {

// Pairs of bytes as UTF-16 code units, little endian, one per wchar_t (32 bits on
// Linux, so every value stays below 0x10000 as on Windows); an odd last byte is dropped.
inline std::wstring Utf16Units(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

// The text split at its NUL characters, as C strings would end there.
inline std::vector<std::wstring> SplitAtNul(const std::wstring& text)
{
    std::vector<std::wstring> pieces(1);
    for (wchar_t c : text) {
        if (c == L'\0')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

// A broken promise: says which, and aborts so the fuzzer keeps the input.
inline void Require(bool condition, const char* promise)
{
    if (condition)
        return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}

}  // namespace kvfuzz
