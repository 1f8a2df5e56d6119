// Registry values read as text into the fixed buffers the groups use.
#pragma once

#include <windows.h>

#include <string>

namespace kv {

// Queries a value into a buffer of Bytes bytes and hands back its type and, on
// success, its data as text. The data need not end in a NUL (the registry keeps
// what was stored), so the text is cut after the last byte the query delivered.
// Returns the query's code.
template <DWORD Bytes>
LONG QueryRegistryText(HKEY key, const wchar_t* name, DWORD& type, std::wstring& text)
{
    wchar_t buffer[Bytes / sizeof(wchar_t) + 1] = {};
    DWORD size = Bytes;
    type = REG_NONE;
    const LONG code = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (code != ERROR_SUCCESS)
        return code;
    // An odd last byte stays part of its character.
    buffer[(size + 1) / sizeof(wchar_t)] = L'\0';
    text = buffer;
    return code;
}

}  // namespace kv
