// The call trace (KVIXA_TRACE) and the report of an unusable profile.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kvsim {

// The arguments of one call as the trace shows them: the file name of
// IxaUploadFileW first (when hasText), then the integer arguments and the size.
struct TraceArgs {
    bool hasText = false;
    const wchar_t* text = nullptr;
    UINT numbers[6] = {};
    size_t count = 0;

    void Add(UINT number)
    {
        if (count < sizeof(numbers) / sizeof(numbers[0]))
            numbers[count++] = number;
    }
};

// Appends "Name(args) = result [error]\n" to the trace file, if one is set.
void TraceCall(const char* name, const TraceArgs& args, int result, DWORD error) noexcept;

// Writes the line to standard error and to the trace file.
void ReportProblem(const char* line) noexcept;

}  // namespace kvsim
