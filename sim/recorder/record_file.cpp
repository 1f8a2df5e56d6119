#include "record_file.h"

#include <utility>

namespace kvrec {

bool RecordFile::Due(ULONGLONG now) const
{
    return m_changed && !m_path.empty() && (!m_tried || now - m_lastTry >= kIntervalMs);
}

DWORD RecordFile::MsUntilDue(ULONGLONG now) const
{
    if (!m_changed || !m_tried)
        return m_changed ? 0 : kIntervalMs;
    const ULONGLONG since = now - m_lastTry;
    return since >= kIntervalMs ? 0 : static_cast<DWORD>(kIntervalMs - since);
}

DWORD RecordFile::WritePart(const std::wstring& part, const std::string& text)
{
    m_part = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_part == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD written = 0;
    const BOOL ok = ::WriteFile(m_part, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    Abandon();
    return error;
}

DWORD RecordFile::Replace(const std::string& text, ULONGLONG now)
{
    m_tried = true;
    m_lastTry = now;
    const std::wstring part = m_path + L".part";
    DWORD error = WritePart(part, text);
    if (error == ERROR_SUCCESS && !::MoveFileExW(part.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
        ::DeleteFileW(part.c_str());
        return error;
    }
    m_changed = false;
    return ERROR_SUCCESS;
}

void RecordFile::Abandon()
{
    if (m_part != INVALID_HANDLE_VALUE)
        ::CloseHandle(std::exchange(m_part, INVALID_HANDLE_VALUE));
}

}  // namespace kvrec
