// The library the recorder stands in front of: the path in KVIXA_REAL, or
// KvIxa.real.dll beside the recorder. Loaded by its full path, never through
// the search path, so the recorder cannot end up loading itself.
#pragma once

#include <windows.h>

#include <string>

namespace kvrec {

struct RealLibrary {
    HMODULE module = nullptr;  // null when it could not be loaded
    std::wstring path;         // full path
    std::string problem;       // why it could not be loaded and what to do, one line (UTF-8)
};

// The file name of a path, without its folder.
std::wstring FileName(const std::wstring& path);

// Loads it; the caller keeps it loaded for the rest of the process.
RealLibrary LoadRealLibrary();

// The recorder's own module; PinRecorder keeps it loaded until the process ends.
HMODULE RecorderModule();
void PinRecorder();

// The full path of a module's file, and of a path relative to the current directory.
std::wstring ModulePath(HMODULE module);
std::wstring FullPath(const std::wstring& path);

}  // namespace kvrec
