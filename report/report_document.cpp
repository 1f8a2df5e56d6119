#include "report/report_document.h"

#include "device/device_identity.h"
#include "device/text_helpers.h"
#include "device/win_handles.h"

#include <cwchar>

namespace kv {
namespace {

const wchar_t kRootName[] = L"KvInspectraReport";
// Windows takes both as the separator of a path's parts.
const wchar_t kPathSeparators[] = L"\\/";
const UINT kStylesheetResourceId = 140;

bool FileOpensForReading(const wchar_t* path)
{
    UniqueFile file(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

// An existing report must be writable before anything is replaced: otherwise the
// stylesheet beside it would be replaced for a report that cannot be written.
bool ExistsButCannotBeWritten(const wchar_t* path)
{
    if (::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return false;
    UniqueFile file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file.valid();
}

std::wstring FullPath(const wchar_t* path)
{
    DWORD size = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    DWORD length = ::GetFullPathNameW(path, size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

bool SameFileIdentity(const wchar_t* first, const wchar_t* second)
{
    UniqueFile a(::CreateFileW(first, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    UniqueFile b(::CreateFileW(second, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION infoA = {};
    BY_HANDLE_FILE_INFORMATION infoB = {};
    if (!a || !b || !::GetFileInformationByHandle(a.get(), &infoA) || !::GetFileInformationByHandle(b.get(), &infoB))
        return false;
    return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool WriteAll(HANDLE file, const void* data, DWORD bytes)
{
    DWORD written = 0;
    return ::WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

bool WriteTextLine(HANDLE file, const std::wstring& text)
{
    std::wstring line = text + L"\r\n";
    return WriteAll(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)));
}

std::wstring VersionLine()
{
    std::wstring version = LoadResourceString(101);
    wchar_t versionText[260] = {};
    if (ProgramVersionText(versionText))
        version += std::wstring(L" ") + versionText;
    return version;
}

std::wstring DateText(const SYSTEMTIME& now)
{
    static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                             L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    const wchar_t* month = (now.wMonth >= 1 && now.wMonth <= 12) ? kMonths[now.wMonth - 1] : L"Unknown";
    return Format(L"%d %ls %d", static_cast<int>(now.wDay), month, static_cast<int>(now.wYear));
}

std::wstring UserName()
{
    wchar_t name[260];
    DWORD size = 260;
    if (!::GetUserNameW(name, &size))
        return SystemErrorText(::GetLastError());
    return name;
}

std::wstring ComputerName()
{
    wchar_t name[260];
    DWORD size = 260;
    if (!::GetComputerNameW(name, &size))
        return SystemErrorText(::GetLastError());
    return name;
}

DWORD WriteHeader(HANDLE file, DeviceInterface& device)
{
    DWORD type = 0;
    wchar_t model[260] = {};
    DeviceModelName(device, &type, model);
    std::wstring version = VersionLine();

    if (WriteStartTag(file, L"Header", 1) != ERROR_SUCCESS ||
        WriteElement(file, L"Version", version.c_str(), nullptr, nullptr, 2) != ERROR_SUCCESS ||
        WriteElement(file, L"KvDeviceType", model, nullptr, nullptr, 2) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    std::wstring time = Format(L"%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    if (WriteElement(file, L"Time", time.c_str(), nullptr, nullptr, 2) != ERROR_SUCCESS ||
        WriteElement(file, L"Date", DateText(now).c_str(), nullptr, nullptr, 2) != ERROR_SUCCESS ||
        WriteElement(file, L"Author", UserName().c_str(), nullptr, nullptr, 2) != ERROR_SUCCESS ||
        WriteElement(file, L"ComputerName", ComputerName().c_str(), nullptr, nullptr, 2) != ERROR_SUCCESS ||
        WriteEndTag(file, L"Header", 1) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

}  // namespace

std::wstring FileNameOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring SiblingPath(const wchar_t* reportPath, const wchar_t* extension)
{
    std::wstring path(reportPath);
    size_t slash = path.find_last_of(kPathSeparators);
    size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && dot >= nameStart)
        path.erase(dot);
    return path + extension;
}

bool SameFile(const wchar_t* first, const wchar_t* second)
{
    std::wstring a = FullPath(first);
    std::wstring b = FullPath(second);
    if (::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL)
        return true;
    return SameFileIdentity(first, second);
}

DWORD WriteStylesheetFile(const wchar_t* reportPath)
{
    if (!reportPath)
        return ERROR_BAD_ARGUMENTS;
    std::wstring stylesheetPath = SiblingPath(reportPath, L".xsl");
    if (FileOpensForReading(stylesheetPath.c_str()) && !::DeleteFileW(stylesheetPath.c_str()))
        return ERROR_UNABLE_TO_REMOVE_REPLACED;

    HMODULE program = ::GetModuleHandleW(nullptr);
    wchar_t resourceName[16];
    swprintf_s(resourceName, L"#%d", static_cast<int>(kStylesheetResourceId));
    HRSRC resource = ::FindResourceW(program, resourceName, L"XSL");
    HGLOBAL loaded = resource ? ::LoadResource(program, resource) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return ERROR_NO_SYSTEM_RESOURCES;
    DWORD size = ::SizeofResource(program, resource);

    UniqueFile file(
        ::CreateFileW(stylesheetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ERROR_CANNOT_MAKE;
    if (!WriteAll(file.get(), bytes, size))
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

HANDLE CreateReportFile(wchar_t* rootName, const wchar_t* reportPath, const wchar_t* stylesheetName)
{
    if (!reportPath) {
        ::SetLastError(ERROR_BAD_ARGUMENTS);
        return INVALID_HANDLE_VALUE;
    }
    wcscpy_s(rootName, 260, kRootName);
    UniqueFile file(
        ::CreateFileW(reportPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return INVALID_HANDLE_VALUE;

    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file.get(), &bom[0], 1, &written, nullptr);
    ::WriteFile(file.get(), &bom[1], 1, &written, nullptr);

    if (!WriteTextLine(file.get(), L"<?xml version=\"1.0\" encoding=\"utf-16\"?>"))
        return INVALID_HANDLE_VALUE;
    // Built without a length limit: any file name Windows accepts gives a whole report.
    if (stylesheetName &&
        !WriteTextLine(file.get(), std::wstring(L"<?xml-stylesheet type=\"text/xsl\" href=\"") + stylesheetName + L"\"?>"))
        return INVALID_HANDLE_VALUE;
    if (!WriteTextLine(file.get(), std::wstring(L"<") + rootName + L">"))
        return INVALID_HANDLE_VALUE;
    return file.release();
}

DWORD CloseReport(const wchar_t* rootName, HANDLE file)
{
    if (!file)
        return ERROR_INVALID_HANDLE;
    if (!WriteTextLine(file, std::wstring(L"</") + rootName + L">"))
        return ERROR_WRITE_FAULT;
    return ::CloseHandle(file) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

DWORD OpenReport(ReportWriter& writer, const wchar_t* reportPath, int overwrite, ReplaceQuestion mayReplace)
{
    // Without a path there is nothing to name the stylesheet after.
    if (!reportPath)
        return ERROR_BAD_ARGUMENTS;
    DeviceInterface device;
    device.Load();

    // A report named like its own stylesheet would be written over it.
    if (SameFile(reportPath, SiblingPath(reportPath, L".xsl").c_str()))
        return ERROR_INVALID_NAME;
    if (FileOpensForReading(reportPath) && overwrite == 0 && !(mayReplace && mayReplace(reportPath)))
        return ERROR_FILE_EXISTS;
    if (ExistsButCannotBeWritten(reportPath))
        return ERROR_OPEN_FAILED;

    DWORD result = WriteStylesheetFile(reportPath);
    if (result != ERROR_SUCCESS)
        return result;

    std::wstring stylesheetName = FileNameOf(SiblingPath(reportPath, L".xsl"));
    writer.file = CreateReportFile(writer.rootName, reportPath, stylesheetName.c_str());
    if (writer.file == INVALID_HANDLE_VALUE)
        return ERROR_OPEN_FAILED;
    return WriteHeader(writer.file, device);
}

}  // namespace kv
