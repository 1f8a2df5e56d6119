#include "groups/host/os_group.h"

#include "device/text_helpers.h"
#include "device/win_handles.h"
#include "groups/host/ini_lines.h"

#include <string>
#include <vector>

namespace kv {
namespace {

const wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

UniqueRegKey OpenVersionKey()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return UniqueRegKey();
    return UniqueRegKey(key);
}

// Reads a REG_SZ value into a 512-byte buffer. Returns the query's code; a value of
// another type gives 0 and false, as the query itself succeeded.
bool ReadStringValue(HKEY key, const wchar_t* name, std::wstring& value, LONG& code)
{
    wchar_t buffer[257] = {};
    DWORD type = 0;
    DWORD bytes = 512;
    code = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (code != ERROR_SUCCESS || type != REG_SZ)
        return false;
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    value = buffer;
    return true;
}

std::wstring WerRuntimePath()
{
    wchar_t drive[260];
    DWORD length = ::GetEnvironmentVariableW(L"SystemDrive", drive, 260);
    std::wstring path = (length > 0 && length < 260) ? drive : L"C:";
    return path + L"\\WERUNTIME.INI";
}

// Opened as a plain read-only open does, sharing read and write: an editor or a
// service holding the file open for writing must not hide it.
UniqueFile OpenWerRuntime()
{
    return UniqueFile(::CreateFileW(WerRuntimePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

void CTestOS::RunTests()
{
    Writer().BeginGroup(297, 298, 418);
    WriteVersionTests();
    Writer().BeginCategory(301);
    WriteRegistrationTests();
    WriteWerRuntimeTests();
    Writer().BeginCategory(300);
    WriteAdministratorTest();
    Writer().EndGroup();
}

void CTestOS::WriteVersionTests()
{
    UniqueRegKey key = OpenVersionKey();
    if (!key)
        return;
    std::wstring value;
    LONG code = 0;

    Writer().BeginTest(303);
    if (ReadStringValue(key.get(), L"ProductName", value, code))
        WritePassed(value, kFmtString);
    else
        Writer().WriteResult(L"Unknown Microsoft operating system", kFailed, kFmtString);
    Writer().EndTest();

    if (ReadStringValue(key.get(), L"BuildLabEx", value, code)) {
        Writer().BeginTest(304);
        WritePassed(value, kFmtString);
        Writer().EndTest();
    }
}

void CTestOS::WriteRegistrationTests()
{
    UniqueRegKey key = OpenVersionKey();
    if (!key) {
        Writer().BeginTest(309);
        Writer().WriteResult(L"Can not open the registry key SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                             kFailed, kFmtString);
        Writer().EndTest();
        return;
    }
    static const struct {
        UINT nameId;
        const wchar_t* value;
    } kRegistrationTests[] = {
        {309, L"RegisteredOrganization"},
        {310, L"RegisteredOwner"},
    };
    for (const auto& test : kRegistrationTests) {
        std::wstring value;
        LONG code = 0;
        Writer().BeginTest(test.nameId);
        if (ReadStringValue(key.get(), test.value, value, code))
            WritePassed(value, kFmtString);
        else
            WriteErrorResult(static_cast<DWORD>(code));
        Writer().EndTest();
    }
}

void CTestOS::WriteWerRuntimeTests()
{
    UniqueFile file = OpenWerRuntime();
    if (!file)
        return;
    Writer().BeginCategory(302);
    // Read in pieces: only the line at hand is held, however large the file.
    IniLineSplitter splitter;
    std::vector<std::wstring> lines;
    char chunk[4096];
    DWORD read = 0;
    bool more = true;
    while (more) {
        more = ::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0;
        if (more)
            splitter.Feed(chunk, read, lines);
        else
            splitter.Finish(lines);
        for (const std::wstring& line : lines)
            WriteWerRuntimeTest(line);
        lines.clear();
    }
}

void CTestOS::WriteWerRuntimeTest(const std::wstring& line)
{
    std::wstring name;
    std::wstring value;
    if (!SplitNameValue(line, name, value))
        return;
    Writer().BeginTest(name.c_str(), nullptr);
    WritePassed(value, kFmtString);
    Writer().EndTest();
}

void CTestOS::WriteAdministratorTest()
{
    Writer().BeginTest(305, 306);
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                    0, 0, 0, &sid)) {
        Writer().WriteResult(L"Undefined", kFailed, kFmtString);
        Writer().EndTest();
        return;
    }
    UniqueSid administrators(sid);
    BOOL member = FALSE;
    if (::CheckTokenMembership(nullptr, administrators.get(), &member))
        WritePassed(member ? L"Yes" : L"No", kFmtYesNo);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

}  // namespace kv
