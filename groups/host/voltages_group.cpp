#include "groups/host/voltages_group.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

enum class VoltageSource {
    Voltage,       // IxaGetVoltage: 32-bit value in thousandths (mV, mW)
    BatteryState,  // IxaGetHardwareValue: 32-bit state code
};

struct VoltageTest {
    UINT nameId;
    VoltageSource source;
    UINT selector;
    int format;  // of a value read; states are always "String"
};

static const VoltageTest kVoltageTests[] = {
    {264, VoltageSource::Voltage, 3, kFmtVolt},         // "CMOS battery voltage (Vbat)"
    {265, VoltageSource::BatteryState, 37, kFmtString},  // "CMOS battery state"
    {266, VoltageSource::Voltage, 7, kFmtVolt},         // "Vin voltage"
    {267, VoltageSource::Voltage, 8, kFmtWatt},         // "CPU power"
};

static const wchar_t* const kBatteryStateTexts[] = {
    L"(unknown)",  // 0
    L"Good",       // 1
    L"Bad",        // 2
};

// Thousandths to units. The division is done in single precision, which decides the
// last digit of a value near a rounding boundary.
std::wstring FormatThousandths(DWORD value)
{
    float units = static_cast<float>(value) / 1000.0f;
    return Format(L"%.2f", static_cast<double>(units));
}

std::wstring BatteryStateText(DWORD state)
{
    if (state < sizeof kBatteryStateTexts / sizeof kBatteryStateTexts[0])
        return kBatteryStateTexts[state];
    return Format(L"%u", state);
}

}  // namespace

void CTestVoltages::RunTests()
{
    if (!PassDeviceTypeGate())
        return;
    Writer().BeginGroup(262, 263);
    for (const VoltageTest& test : kVoltageTests) {
        Writer().BeginTest(test.nameId);
        if (test.source == VoltageSource::Voltage)
            WriteVoltageResult(test.selector, test.format);
        else
            WriteBatteryStateResult(test.selector);
        Writer().EndTest();
    }
    Writer().EndGroup();
}

// A reading the device does not have (87) or a library without it (1) is "N/A".
void CTestVoltages::WriteVoltageResult(UINT selector, int format)
{
    DWORD value = 0;
    if (m_device.IxaGetVoltage && m_device.IxaGetVoltage(selector, &value, sizeof value)) {
        WritePassed(FormatThousandths(value), format);
        return;
    }
    DWORD error = ::GetLastError();
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION)
        WriteNotAvailable();
    else
        WriteErrorResult(error);
}

void CTestVoltages::WriteBatteryStateResult(UINT selector)
{
    DWORD state = 0;
    if (m_device.IxaGetHardwareValue && m_device.IxaGetHardwareValue(selector, &state, sizeof state)) {
        WritePassed(BatteryStateText(state), kFmtString);
        return;
    }
    DWORD error = ::GetLastError();
    if (error == ERROR_INVALID_PARAMETER)
        WriteNotAvailable();
    else
        WriteErrorResult(error);
}

}  // namespace kv
