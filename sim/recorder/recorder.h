// The course of a call through the recorder: the real library's entry point,
// called with the caller's own arguments and buffer, then the record of what
// it handed back; the caller gets the return value and the last error exactly
// as the real library left them.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace kvrec {

// The real library's entry point, or null with the error the call then fails
// with: 126 without the real library, 1 when it lacks the entry point (the
// program takes a missing entry point as "no such function" too).
FARPROC RealEntryPoint(const char* name, DWORD& error) noexcept;

// Records a call when KVIXA_RECORD names a file (see record_file.h for when
// the file is written). They never change the call's outcome.
void RecordBuffer(const char* name, std::initializer_list<UINT> keyParts, const void* buffer, UINT size,
                  bool textEntry, int result, DWORD error) noexcept;
void RecordValue(const char* name, const void* value, int result, DWORD error) noexcept;
void RecordEqualizer(const char* name, const void* mode, const void* value, int result, DWORD error) noexcept;
void RecordStatus(const char* name, UINT argument, int result, DWORD error) noexcept;
void RecordUpload(const char* name, const wchar_t* fileName, UINT item, int result, DWORD error) noexcept;

// When the library unloads (processEnds: with the process, whose other threads
// are gone): writes what the file has not taken yet.
void WritePendingRecord(bool processEnds) noexcept;

template <typename Entry, typename Call, typename Record>
int Forward(const char* name, Call call, Record record)
{
    DWORD error = ERROR_SUCCESS;
    const FARPROC proc = RealEntryPoint(name, error);
    int result = 0;
    if (proc != nullptr) {
        // Through void*: a direct cast between unrelated function types draws a warning.
        result = call(reinterpret_cast<Entry>(reinterpret_cast<void*>(proc)));
        error = ::GetLastError();
    }
    record(result, error);
    ::SetLastError(error);
    return result;
}

}  // namespace kvrec
