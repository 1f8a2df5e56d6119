#include "groups/host/bios_group.h"

#include "device/text_helpers.h"
#include "device/win_handles.h"

namespace kv {
namespace {

// Published by the maker's driver.
const wchar_t kBiosKey[] = L"HARDWARE\\IXA\\Bios";
const wchar_t kVersionIdValue[] = L"VersionID";

// Strings and values of the device library are read into 512-byte buffers.
const UINT kBufferBytes = 512;

const UINT kIdsBootModeNormal = 279;
const UINT kIdsBootModeBackup = 280;

// Firmware selector 28: the flash area the BIOS started from, 1 for the normal area.
const UINT kBootModeSelector = 28;
const DWORD kBootModeNormal = 1;

struct FirmwareStringTest {
    UINT nameId;
    UINT selector;  // IxaGetFirmwareStringW
};

static const FirmwareStringTest kFirmwareStringTests[] = {
    {274, 21},  // "Version"
    {275, 23},  // "Build date"
};

}  // namespace

void CTestBios::RunTests()
{
    if (!PassDeviceTypeGate())
        return;
    Writer().BeginGroup(272, 273);
    for (const FirmwareStringTest& test : kFirmwareStringTests)
        WriteFirmwareStringTest(test.nameId, test.selector);
    WriteIdTest();
    WriteBootModeTest();
    Writer().EndGroup();
}

void CTestBios::WriteFirmwareStringTest(UINT nameId, UINT selector)
{
    LibraryText<kBufferBytes> text;
    Writer().BeginTest(nameId);
    if (m_device.IxaGetFirmwareStringW && m_device.IxaGetFirmwareStringW(selector, text.text, text.kBytes))
        WritePassed(text.text, kFmtString);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

// Written only when the driver's key exists; the value is shown whatever its type.
void CTestBios::WriteIdTest()
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBiosKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS)
        return;
    UniqueRegKey key(opened);
    wchar_t data[kBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD bytes = kBufferBytes;
    LONG code = ::RegQueryValueExW(key.get(), kVersionIdValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                   &bytes);
    Writer().BeginTest(277);
    if (code == ERROR_SUCCESS) {
        // Data without a terminator ends here; an odd last byte stays part of its character.
        data[(bytes + 1) / sizeof(wchar_t)] = L'\0';
        WritePassed(data, kFmtString);
    } else {
        WriteErrorResult(static_cast<DWORD>(code));
    }
    Writer().EndTest();
}

void CTestBios::WriteBootModeTest()
{
    DWORD area = 0;
    if (!m_device.IxaGetFirmwareValue || !m_device.IxaGetFirmwareValue(kBootModeSelector, &area, sizeof area))
        return;
    Writer().BeginTest(278);
    Writer().WriteResult(area == kBootModeNormal ? kIdsBootModeNormal : kIdsBootModeBackup, kFmtString);
    Writer().EndTest();
}

}  // namespace kv
