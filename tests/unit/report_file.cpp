#include "report_file.h"

namespace kv {
namespace {

int g_answer = 0;
std::vector<MessageBoxCall> g_calls;

int RecordMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    g_calls.push_back({owner, text ? text : L"", caption ? caption : L"", flags});
    return g_answer;
}

std::wstring UniqueTempPath(const wchar_t* prefix)
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    wchar_t path[MAX_PATH];
    ::GetTempFileNameW(folder, prefix, 0, path);
    return path;
}

}  // namespace

TempReport::TempReport() : m_path(UniqueTempPath(L"kvt"))
{
    m_file = ::CreateFileW(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
}

TempReport::~TempReport()
{
    if (m_file != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_file);
    ::DeleteFileW(m_path.c_str());
}

std::wstring TempReport::Content() const
{
    std::string bytes = ReadFileBytes(m_path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::vector<std::wstring> TempReport::Lines() const { return SplitLines(Content()); }

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end = text.find(L"\r\n"); end != std::wstring::npos; end = text.find(L"\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TempFolder::TempFolder() : m_path(UniqueTempPath(L"kvd"))
{
    ::DeleteFileW(m_path.c_str());
    ::CreateDirectoryW(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((m_path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                ::DeleteFileW((m_path + L"\\" + name).c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(m_path.c_str());
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    ::CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

MessageBoxRecorder::MessageBoxRecorder(int answer)
{
    g_answer = answer;
    g_calls.clear();
    m_previous = SetMessageBoxHandler(RecordMessageBox);
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHandler(m_previous); }

const std::vector<MessageBoxCall>& MessageBoxRecorder::Calls() const { return g_calls; }

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const std::wstring& value) : m_name(name)
{
    DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size > 0) {
        std::vector<wchar_t> previous(size);
        if (::GetEnvironmentVariableW(name, previous.data(), size) < size) {
            m_previous = previous.data();
            m_hadValue = true;
        }
    }
    ::SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment()
{
    ::SetEnvironmentVariableW(m_name.c_str(), m_hadValue ? m_previous.c_str() : nullptr);
}

ScopedProfile::ScopedProfile(const std::string& json)
    : m_profile(L"KVIXA_PROFILE", m_folder.File(L"profile.json")),
      m_trace(L"KVIXA_TRACE", m_folder.File(L"trace.txt"))
{
    WriteFileBytes(m_folder.File(L"profile.json"), json);
}

std::vector<std::string> ScopedProfile::Calls(const std::string& entryPoint) const
{
    std::string trace = ReadFileBytes(m_folder.File(L"trace.txt"));
    std::vector<std::string> calls;
    size_t start = 0;
    while (start < trace.size()) {
        size_t end = trace.find('\n', start);
        if (end == std::string::npos)
            end = trace.size();
        std::string line = trace.substr(start, end - start);
        if (line.compare(0, entryPoint.size() + 1, entryPoint + "(") == 0)
            calls.push_back(line);
        start = end + 1;
    }
    return calls;
}

}  // namespace kv
