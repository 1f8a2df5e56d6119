// Files of KvReport: reading inputs whole, writing outputs so that they are either
// complete or absent, and telling whether two paths are one file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kvreport {

// The system's text for a Win32 error code, without its line break.
std::wstring SystemMessage(DWORD code);

bool IsFolder(const std::wstring& path);

// The whole file; false with the Win32 error code when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes, DWORD& errorCode);

// Writes bytes into a temporary file beside path and moves it into place, replacing
// an existing file; on failure nothing is left behind and an existing file stays as
// it was. Returns 0 or the Win32 error code.
DWORD WriteFileReplacing(const std::wstring& path, const std::string& bytes);

// A new empty temporary file in the folder of path, for output written in pieces;
// empty when none can be made (the error is in GetLastError).
std::wstring TemporaryFileBeside(const std::wstring& path);

// A new empty folder beside path (in its folder) for outputs that are written, checked
// and then moved into place; removed with whatever is left in it.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::wstring& beside);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    // False when none could be made (the error is in GetLastError).
    bool valid() const { return !m_path.empty(); }
    const std::wstring& path() const { return m_path; }

private:
    std::wstring m_path;
};

// Moves a finished temporary file onto path; on failure the temporary file is deleted.
DWORD MoveIntoPlace(const std::wstring& temporary, const std::wstring& path);

// True when both paths name one existing file (links and case included).
bool SameFile(const std::wstring& first, const std::wstring& second);

// True when writing output would replace one of the input reports or the stylesheet
// beside one of them.
bool WouldReplaceInput(const std::wstring& output, const std::vector<std::wstring>& inputs);

// The paths of the files named *.xml in a folder (not its subfolders), sorted by name.
std::vector<std::wstring> ReportsInFolder(const std::wstring& folder);

// A folder path joined with a file name.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

}  // namespace kvreport
