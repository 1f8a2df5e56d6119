// A scratch report file for tests: written through the writer, read back whole.
#pragma once

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

}  // namespace kv
