#include "groups/platform/cpu_group.h"

#include "device/text_helpers.h"
#include "device/win_handles.h"

#include <string>

namespace kv {
namespace {

const wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// The library cannot read the CPU temperature on these models.
const DWORD kTypesWithoutCpuTemperature[] = {kVoltadeckV70, kCorvaboxC80, kCorvaboxC81, kRoamdeckR96};

// Only these models measure the processor's core voltages.
const DWORD kTypesWithCoreVoltages[] = {kCorvaboxC20, kPanevoxP30};

// The P50 with an SSFW board has no temperature register of its own: the library
// reads the CPU temperature through WMI there.
const DWORD kWmiTemperatureType = kPanevoxP50;
const DWORD kWmiTemperatureBoard = 8;  // SSFW

// VcoreB is only wired on WTB2 boards.
const DWORD kVcoreBBoard = 3;  // WTB2

// Library selectors.
const UINT kHardwareStringCpuBoard = 16;
const UINT kTemperatureCpu = 0;
const UINT kAlarmCpuTemperature = 11;
const UINT kVoltageVcoreA = 0;
const UINT kVoltageVcoreB = 4;

enum class ValueKind { Text, Number };

// The processor identity, read from the processor's registry key in this order.
struct IdentityRow {
    const wchar_t* label;
    const wchar_t* valueName;
    ValueKind kind;
    bool missingIsNotAvailable;  // a missing value reads "(not available)" instead of the error text
};

const IdentityRow kIdentityRows[] = {
    {L"Name", L"ProcessorNameString", ValueKind::Text, true},
    {L"ID", L"Identifier", ValueKind::Text, false},
    {L"Vendor", L"VendorIdentifier", ValueKind::Text, false},
    {L"Maximum Speed", L"~MHz", ValueKind::Number, false},
};

template <size_t N>
bool TypeIn(DWORD type, const DWORD (&types)[N])
{
    for (DWORD listed : types) {
        if (listed == type)
            return true;
    }
    return false;
}

// Reads one identity value. Returns the query's code; ok only when the query
// succeeded and the value has the expected type (REG_SZ into 512 bytes, or
// REG_DWORD into 4 bytes).
LONG ReadIdentityValue(HKEY key, const IdentityRow& row, std::wstring& text, bool& ok)
{
    ok = false;
    DWORD type = 0;
    if (row.kind == ValueKind::Number) {
        DWORD value = 0;
        DWORD bytes = sizeof value;
        LONG code = ::RegQueryValueExW(key, row.valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
        if (code == ERROR_SUCCESS && type == REG_DWORD) {
            text = Format(L"%u", value);
            ok = true;
        }
        return code;
    }
    wchar_t buffer[257] = {};  // 512 bytes for the value, one more character for a terminator it may lack
    DWORD bytes = 512;
    LONG code = ::RegQueryValueExW(key, row.valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (code == ERROR_SUCCESS && type == REG_SZ) {
        buffer[bytes / sizeof(wchar_t)] = L'\0';
        text = buffer;
        ok = true;
    }
    return code;
}

std::wstring TemperatureText(BYTE raw) { return Format(L"%d.00", static_cast<int>(static_cast<signed char>(raw))); }

}  // namespace

void CTestCPU::RunTests()
{
    Writer().BeginGroup(L"CPU", L"Contains CPU related tests like CPU ID or CPU speed.", L"Identification", nullptr);
    WriteIdentificationTests();
    if (PassDeviceTypeGate() && !TypeIn(m_device.deviceType, kTypesWithoutCpuTemperature))
        WriteTemperatureTest();
    if (PassDeviceTypeGate() && TypeIn(m_device.deviceType, kTypesWithCoreVoltages))
        WriteVoltageTests();
    Writer().EndGroup();
}

void CTestCPU::WriteIdentificationTests()
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProcessorKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS)
        return;
    UniqueRegKey key(opened);
    for (const IdentityRow& row : kIdentityRows) {
        Writer().BeginTest(row.label, nullptr);
        std::wstring text;
        bool ok = false;
        LONG code = ReadIdentityValue(key.get(), row, text, ok);
        if (ok)
            WritePassed(text, row.kind == ValueKind::Number ? kFmtMHz : kFmtString);
        else if (code == ERROR_FILE_NOT_FOUND && row.missingIsNotAvailable)
            Writer().WriteResult(L"(not available)", kFailed, kFmtString);
        else
            WriteErrorResult(static_cast<DWORD>(code));
        Writer().EndTest();
    }
    key.reset();
    if (PassDeviceTypeGate())
        WriteBoardTypeTest();
}

void CTestCPU::WriteBoardTypeTest()
{
    Writer().BeginTest(L"Board type", nullptr);
    LibraryText<512> board;
    if (m_device.IxaGetHardwareStringW &&
        m_device.IxaGetHardwareStringW(kHardwareStringCpuBoard, board.text, board.kBytes)) {
        WritePassed(board.text, kFmtString);
    } else {
        DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_PARAMETER)
            WriteNotAvailable(kFmtString);
        else
            WriteErrorResult(error);
    }
    Writer().EndTest();
}

void CTestCPU::WriteTemperatureTest()
{
    if (IsType(kWmiTemperatureType) && IsCpuBoard(m_device, kWmiTemperatureBoard))
        WriteTemperatureTestViaWmi();
    else
        WriteTemperatureTestDirect();
}

void CTestCPU::WriteTemperatureTestViaWmi()
{
    Writer().BeginCategory(L"Temperatures", nullptr);
    Writer().BeginTest(L"Internal", nullptr);
    {
        // The library's WMI query needs COM on this thread; it is switched on for
        // this one read only and always switched off again.
        ComInit com(COINIT_MULTITHREADED);
        if (m_device.IxaEnableWmi)
            m_device.IxaEnableWmi(1);
        BYTE raw = 0;
        if (m_device.IxaGetTemperature && m_device.IxaGetTemperature(kTemperatureCpu, &raw, sizeof raw)) {
            WritePassed(TemperatureText(raw), kFmtDegreeCentigrade);
        } else {
            DWORD error = ::GetLastError();
            if (error == ERROR_NOT_FOUND)
                Writer().WriteResult(L"Administrative privileges are required to read the CPU temperature via WMI.",
                                     kFailed, kFmtString);
            else
                WriteErrorResult(error);
        }
        if (m_device.IxaEnableWmi)
            m_device.IxaEnableWmi(0);
    }
    Writer().EndTest();
}

void CTestCPU::WriteTemperatureTestDirect()
{
    BYTE raw = 0;
    if (!m_device.IxaGetTemperature || !m_device.IxaGetTemperature(kTemperatureCpu, &raw, sizeof raw)) {
        // Taken at once: the report writes below must not change it.
        DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_PARAMETER)
            return;  // the device has no CPU temperature
        Writer().BeginCategory(L"Temperatures", nullptr);
        Writer().BeginTest(L"Internal", nullptr);
        WriteErrorResult(error);
        Writer().EndTest();
        return;
    }
    Writer().BeginCategory(L"Temperatures", nullptr);
    Writer().BeginTest(L"Internal", nullptr);
    DWORD alarm = 0;
    if (!m_device.IxaGetAlarm || !m_device.IxaGetAlarm(kAlarmCpuTemperature, &alarm, sizeof alarm))
        alarm = 0;
    Writer().WriteResult(TemperatureText(raw).c_str(), alarm != 0 ? kAlarm : kPassed, kFmtDegreeCentigrade);
    Writer().EndTest();
}

void CTestCPU::WriteVoltageTests()
{
    Writer().BeginCategory(L"Voltages", nullptr);
    WriteVoltageTest(L"VcoreA", nullptr, kVoltageVcoreA);
    if (IsCpuBoard(m_device, kVcoreBBoard))
        WriteVoltageTest(L"VcoreB", L"Only supported on WTB2 CPU boards", kVoltageVcoreB);
}

void CTestCPU::WriteVoltageTest(const wchar_t* label, const wchar_t* description, UINT selector)
{
    Writer().BeginTest(label, description);
    DWORD millivolts = 0;
    if (m_device.IxaGetVoltage && m_device.IxaGetVoltage(selector, &millivolts, sizeof millivolts)) {
        float volts = static_cast<float>(millivolts) / 1000.0f;
        WritePassed(Format(L"%.3f", static_cast<double>(volts)), kFmtVolt);
    } else {
        WriteErrorResult(::GetLastError());
    }
    Writer().EndTest();
}

}  // namespace kv
