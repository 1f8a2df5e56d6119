#include "trace.h"

#include "text.h"

#include <string>

namespace kvsim {
namespace {

// Opened and closed for every line, so several processes (and several loads
// of the library) can share one trace file. Appending alone does not keep
// concurrent lines apart (not under Wine, at least): every writer locks the
// file while it seeks to the end and writes its line.
void AppendToTrace(const std::string& line)
{
    const std::wstring path = EnvironmentValue(L"KVIXA_TRACE");
    if (path.empty())
        return;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    OVERLAPPED whole = {};
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        LARGE_INTEGER end = {};
        DWORD written = 0;
        if (::SetFilePointerEx(file, end, nullptr, FILE_END))
            ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    }
    ::CloseHandle(file);
}

std::string FormatCall(const char* name, const TraceArgs& args, int result, DWORD error)
{
    std::string line = name;
    line += '(';
    const char* separator = "";
    if (args.hasText) {
        line += args.text != nullptr ? "\"" + WideToUtf8(args.text) + "\"" : std::string("null");
        separator = ", ";
    }
    for (size_t i = 0; i < args.count; ++i) {
        line += separator + std::to_string(args.numbers[i]);
        separator = ", ";
    }
    line += ") = " + std::to_string(result) + " [" + std::to_string(error) + "]\n";
    return line;
}

}  // namespace

void TraceCall(const char* name, const TraceArgs& args, int result, DWORD error) noexcept
{
    try {
        if (!EnvironmentValue(L"KVIXA_TRACE").empty())
            AppendToTrace(FormatCall(name, args, result, error));
    } catch (...) {
        // A trace that cannot be written must not change the call's outcome.
    }
}

void ReportProblem(const char* line) noexcept
{
    try {
        const std::string text = std::string(line) + "\n";
        HANDLE standardError = ::GetStdHandle(STD_ERROR_HANDLE);
        if (standardError != nullptr && standardError != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(standardError, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        }
        AppendToTrace(text);
    } catch (...) {
    }
}

}  // namespace kvsim
