#include "tools/kvreport/console.h"

#include "tools/kvreport/report_model.h"

#include <windows.h>

#include <algorithm>

namespace kvreport {
namespace {

HANDLE HandleOf(Stream stream)
{
    return ::GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

}  // namespace

void Write(Stream stream, const std::wstring& text)
{
    HANDLE handle = HandleOf(stream);
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD written = 0;
    if (IsConsole(handle)) {
        // Older consoles refuse one large write; pieces never split a surrogate pair.
        const size_t kPiece = 8192;
        for (size_t start = 0; start < text.size();) {
            size_t length = std::min(kPiece, text.size() - start);
            if (start + length < text.size() && IS_HIGH_SURROGATE(text[start + length - 1]))
                --length;
            ::WriteConsoleW(handle, text.data() + start, static_cast<DWORD>(length), &written, nullptr);
            start += length;
        }
        return;
    }
    std::string utf8 = ToUtf8(text);
    ::WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void WriteLine(Stream stream, const std::wstring& text) { Write(stream, text + L"\r\n"); }

Progress::Progress(size_t total) : m_total(total), m_visible(total > 1 && IsConsole(HandleOf(Stream::Err))) {}

Progress::~Progress()
{
    if (m_visible && m_shownLength)
        Write(Stream::Err, L"\r" + std::wstring(m_shownLength, L' ') + L"\r");
}

void Progress::Show(size_t index, const std::wstring& name)
{
    if (!m_visible)
        return;
    std::wstring line = L"[" + std::to_wstring(index + 1) + L"/" + std::to_wstring(m_total) + L"] " + name;
    // Keep the line within a narrow console, so that \r returns to its start.
    if (line.size() > 78)
        line = line.substr(0, 30) + L"..." + line.substr(line.size() - 45);
    size_t length = line.size();
    if (length < m_shownLength)
        line += std::wstring(m_shownLength - length, L' ');
    Write(Stream::Err, L"\r" + line);
    m_shownLength = length;
}

}  // namespace kvreport
