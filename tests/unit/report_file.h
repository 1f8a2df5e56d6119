// A scratch report file for tests: written through the writer, read back whole.
#pragma once

#include "app/message_box.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kv {

class TempReport {
public:
    TempReport();
    ~TempReport();
    TempReport(const TempReport&) = delete;
    TempReport& operator=(const TempReport&) = delete;

    HANDLE handle() const { return m_file; }
    const std::wstring& path() const { return m_path; }
    // Everything written so far, as UTF-16 text.
    std::wstring Content() const;
    // Content split at CR LF; the text after the last CR LF is not a line.
    std::vector<std::wstring> Lines() const;

private:
    std::wstring m_path;
    HANDLE m_file = INVALID_HANDLE_VALUE;
};

// A scratch folder below the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return m_path; }
    std::wstring File(const wchar_t* name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::vector<std::wstring> SplitLines(const std::wstring& text);

// One message box the program asked for.
struct MessageBoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
};

// Answers every message box with a fixed result and records it, for as long as it
// lives; the previous handler comes back afterwards. One at a time.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
    const std::vector<MessageBoxCall>& Calls() const;

private:
    MessageBoxHandler m_previous;
};

// Sets an environment variable of this process for as long as it lives, then puts
// back the value it had (or removes it).
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring m_name;
    std::wstring m_previous;
    bool m_hadValue = false;
};

// A device profile (JSON text) and a trace file for the simulated KvIxa.dll. The
// library reads its profile when it is loaded, so load it after this is made.
class ScopedProfile {
public:
    explicit ScopedProfile(const std::string& json);
    // The trace lines of one entry point: "IxaGetHardwareStringW(16, 520) = 1 [0]".
    std::vector<std::string> Calls(const std::string& entryPoint) const;

private:
    TempFolder m_folder;
    ScopedEnvironment m_profile;
    ScopedEnvironment m_trace;
};

}  // namespace kv
