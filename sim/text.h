// Text conversions and environment lookups shared by the library's parts.
#pragma once

#include <windows.h>

#include <string>

namespace kvsim {

// Converts UTF-8 to UTF-16; false for text that is not valid UTF-8.
bool Utf8ToWide(const std::string& text, std::wstring& wide);
std::string WideToUtf8(const std::wstring& wide);

// The value of the environment variable, empty when it is not set.
std::wstring EnvironmentValue(const wchar_t* name);

// "error 2 (The system cannot find the file specified.)"
std::string ErrorText(DWORD error);

}  // namespace kvsim
