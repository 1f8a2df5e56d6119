// Texts read from the device library.
#pragma once

#include <windows.h>

namespace kv {

// The library is told Bytes; the buffer holds one character more and starts
// zeroed, so a text the library leaves without a terminator still ends inside it.
template <UINT Bytes>
struct LibraryText {
    static constexpr UINT kBytes = Bytes;
    static constexpr size_t kChars = Bytes / sizeof(wchar_t) + 1;
    wchar_t text[kChars] = {};
};

}  // namespace kv
