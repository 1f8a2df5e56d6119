#include "device/text_helpers.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace kv {
namespace {

wchar_t g_errorText[1024];

}  // namespace

std::wstring LoadResourceString(UINT id)
{
    // With a zero buffer length LoadStringW hands out a pointer into the resource itself.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || !text)
        return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

const wchar_t* SystemErrorText(DWORD code)
{
    wchar_t buffer[1024];
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    code, 0, buffer, 1024, nullptr);
    if (length == 0)
        return g_errorText;
    wcscpy_s(g_errorText, buffer);
    size_t end = wcslen(g_errorText);
    if (end > 0 && g_errorText[end - 1] == L'\n')
        g_errorText[--end] = L'\0';
    if (end > 0 && g_errorText[end - 1] == L'\r')
        g_errorText[--end] = L'\0';
    return g_errorText;
}

namespace {

bool ReadFixedFileVersion(DWORD* mostSignificant)
{
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return false;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data()))
        return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info)
        return false;
    *mostSignificant = info->dwFileVersionMS;
    return true;
}

}  // namespace

int ProgramVersionText(wchar_t* text)
{
    DWORD version = 0;
    if (!ReadFixedFileVersion(&version))
        return 0;
    swprintf_s(text, 260, L"V%d.%d", static_cast<int>(HIWORD(version)), static_cast<int>(LOWORD(version)));
    return 1;
}

void ProgramTitleText(std::wstring& title)
{
    wchar_t version[260] = {};
    ProgramVersionText(version);
    title = LoadResourceString(101) + L" " + version;
}

int ReadFileVersion(const wchar_t* path, std::wstring& version)
{
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return 0;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data()))
        return 0;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                          &bytes) ||
        bytes < sizeof(Translation))
        return 0;
    wchar_t query[260];
    swprintf_s(query, L"\\StringFileInfo\\%04x%04x\\FileVersion", translations[0].language,
               translations[0].codePage);
    wchar_t* value = nullptr;
    UINT chars = 0;
    version.clear();
    if (::VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&value), &chars) && value)
        version = value;
    return 1;
}

std::wstring Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = _vscwprintf(format, copy);
    va_end(copy);
    std::wstring text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        vswprintf_s(&text[0], text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

}  // namespace kv
