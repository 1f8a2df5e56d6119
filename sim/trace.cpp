#include "trace.h"

#include "text.h"

#include <string>

namespace kvsim {
namespace {

// The trace file, opened on the first line and kept open while the library is loaded:
// opening it for every line cost more than the calls it traces. Several processes (and
// several loads of the library) share one trace file; appending alone does not keep
// concurrent lines apart (not under Wine, at least), so every writer locks the file
// while it seeks to the end and writes its line. An open that fails is tried again on
// the next line.
class TraceFile {
public:
    TraceFile() = default;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    ~TraceFile() { Close(); }

    void Append(const std::wstring& path, const std::string& line)
    {
        ::AcquireSRWLockExclusive(&m_lock);
        if (path != m_path)
            Close();
        if (m_file == INVALID_HANDLE_VALUE) {
            m_file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            m_path = m_file != INVALID_HANDLE_VALUE ? path : std::wstring();
        }
        if (m_file != INVALID_HANDLE_VALUE)
            WriteLocked(line);
        ::ReleaseSRWLockExclusive(&m_lock);
    }

private:
    void WriteLocked(const std::string& line)
    {
        OVERLAPPED whole = {};
        if (!::LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
            return;
        LARGE_INTEGER end = {};
        DWORD written = 0;
        if (::SetFilePointerEx(m_file, end, nullptr, FILE_END))
            ::WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::UnlockFileEx(m_file, 0, MAXDWORD, MAXDWORD, &whole);
    }

    void Close()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        m_path.clear();
    }

    SRWLOCK m_lock = SRWLOCK_INIT;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::wstring m_path;
};

TraceFile g_traceFile;

void AppendToTrace(const std::string& line)
{
    const std::wstring path = EnvironmentValue(L"KVIXA_TRACE");
    if (!path.empty())
        g_traceFile.Append(path, line);
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
