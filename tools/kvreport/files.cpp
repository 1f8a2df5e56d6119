#include "tools/kvreport/files.h"

#include "device/win_handles.h"
#include "report/report_document.h"

#include <algorithm>
#include <cwctype>

namespace kvreport {
namespace {

// Larger than any report a scan writes, small enough to read whole.
const ULONGLONG kMaxInputBytes = 512ull * 1024 * 1024;

std::wstring FolderOf(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4];
    wchar_t* name = nullptr;
    DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, &name);
    if (length == 0 || length >= MAX_PATH * 4)
        return L".";
    if (name)
        *name = L'\0';
    return full;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_LESS_THAN;
}

struct FindTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value v) { ::FindClose(v); }
};
using UniqueFind = kv::UniqueResource<FindTraits>;

bool EndsWithIgnoringCase(const std::wstring& text, const wchar_t* end)
{
    size_t length = wcslen(end);
    return text.size() >= length &&
           ::CompareStringOrdinal(text.c_str() + text.size() - length, static_cast<int>(length), end,
                                  static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring SystemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(code);
    ::LocalFree(buffer);
    while (!text.empty() && iswspace(text.back()))
        text.pop_back();
    return text;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, DWORD& errorCode)
{
    // Shared for reading only: a report the program still writes is refused, not read half.
    kv::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        errorCode = ::GetLastError();
        return false;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) {
        errorCode = ::GetLastError();
        return false;
    }
    if (static_cast<ULONGLONG>(size.QuadPart) > kMaxInputBytes) {
        errorCode = ERROR_FILE_TOO_LARGE;
        return false;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        errorCode = ::GetLastError() ? ::GetLastError() : ERROR_READ_FAULT;
        return false;
    }
    return true;
}

std::wstring TemporaryFileBeside(const std::wstring& path)
{
    wchar_t temporary[MAX_PATH];
    if (!::GetTempFileNameW(FolderOf(path).c_str(), L"kvr", 0, temporary))
        return std::wstring();
    return temporary;
}

TemporaryFolder::TemporaryFolder(const std::wstring& beside)
{
    std::wstring name = TemporaryFileBeside(beside);
    if (name.empty() || !::DeleteFileW(name.c_str()) || !::CreateDirectoryW(name.c_str(), nullptr))
        return;
    m_path = name;
}

TemporaryFolder::~TemporaryFolder()
{
    if (m_path.empty())
        return;
    WIN32_FIND_DATAW found;
    UniqueFind search(::FindFirstFileW(JoinPath(m_path, L"*").c_str(), &found));
    if (search) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW(JoinPath(m_path, found.cFileName).c_str());
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    ::RemoveDirectoryW(m_path.c_str());
}

DWORD MoveIntoPlace(const std::wstring& temporary, const std::wstring& path)
{
    if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ERROR_SUCCESS;
    DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    return error;
}

DWORD WriteFileReplacing(const std::wstring& path, const std::string& bytes)
{
    std::wstring temporary = TemporaryFileBeside(path);
    if (temporary.empty())
        return ::GetLastError();
    {
        kv::UniqueFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            DWORD error = ::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT;
            file.reset();
            ::DeleteFileW(temporary.c_str());
            return error;
        }
    }
    return MoveIntoPlace(temporary, path);
}

bool SameFile(const std::wstring& first, const std::wstring& second)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::wstring* paths[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        kv::UniqueFile file(::CreateFileW(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file || !::GetFileInformationByHandle(file.get(), &info[i]))
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool WouldReplaceInput(const std::wstring& output, const std::vector<std::wstring>& inputs)
{
    for (const std::wstring& input : inputs)
        if (SameFile(output, input) || SameFile(output, kv::SiblingPath(input.c_str(), L".xsl")))
            return true;
    return false;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder + name;
    return folder + L"\\" + name;
}

std::vector<std::wstring> ReportsInFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    UniqueFind search(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    if (!search)
        return names;
    do {
        // Matched by hand: the pattern "*.xml" also finds longer extensions through their short names.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && EndsWithIgnoringCase(found.cFileName, L".xml"))
            names.push_back(found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    std::vector<std::wstring> paths;
    for (const std::wstring& name : names)
        paths.push_back(JoinPath(folder, name));
    return paths;
}

}  // namespace kvreport
