// Program texts: string resources, system error texts, version texts and raw dumps.
#pragma once

#include "device/raw_dump.h"

#include <windows.h>

#include <cstddef>
#include <string>

namespace kv {

// String table entry of the running program; empty when the id has no string.
std::wstring LoadResourceString(UINT id);

// The system's message text for an error code, final line feed and carriage return
// removed. Returns a pointer into one shared buffer, valid until the next call; for
// a code without a message the buffer keeps the previous text.
const wchar_t* SystemErrorText(DWORD code);

// "V<major>.<minor>" from the running program's file version into text (260 characters);
// 0 and text untouched when the version resource cannot be read.
int ProgramVersionText(wchar_t* text);

// "Kavrol Inspectra " followed by the version text (empty without version information).
void ProgramTitleText(std::wstring& title);

// The "FileVersion" string of a file's version resource, looked up under its first
// translation. Returns 0 when the file has no version resource or no translation.
int ReadFileVersion(const wchar_t* path, std::wstring& version);

// printf-style formatting into a std::wstring.
std::wstring Format(const wchar_t* format, ...);

}  // namespace kv
