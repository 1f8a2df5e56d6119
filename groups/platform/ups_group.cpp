#include "groups/platform/ups_group.h"

#include "device/text_helpers.h"

#include <cassert>
#include <cstring>

namespace kv {
namespace ups {

enum class SettingsSource { kFactoryValue, kFactoryString };  // IxaGetFactoryValue, IxaGetFactoryStringW
enum class SettingsValue { kText, kHex32, kHex16, kRawData };   // wide text, "%08X", "%04X", hexadecimal dump

// What a failed read with error 87 (the UPS does not provide the value) does.
enum class On87 {
    kErrorResult,  // the error text, "Failed", like any other error
    kSkip,         // no test
    kOmitBlock,    // no category and no test at all (only on the first row of a table)
};

// One test of the factory or battery settings.
struct SettingsTest {
    const wchar_t* label;
    const wchar_t* description;  // null: none
    SettingsSource source;
    UINT selector;
    UINT size;  // bytes passed to the library
    SettingsValue value;
    int format;
    On87 on87;
};

// The outcome of one settings read: the result text, or the error code.
struct SettingsRead {
    bool ok = false;
    DWORD error = ERROR_SUCCESS;
    std::wstring text;
};

}  // namespace ups

namespace {

using ups::On87;
using ups::SettingsRead;
using ups::SettingsSource;
using ups::SettingsTest;
using ups::SettingsValue;

// One test of the "Status" category: a bit of the status word.
struct StatusBit {
    const wchar_t* label;
    DWORD mask;
    const wchar_t* setText;
    int setStatus;
    const wchar_t* clearText;
    int clearStatus;
    // Apart from a ZELOS, written only when the firmware version text is not below
    // this (null: always).
    const wchar_t* minimumFirmware;
};

// clang-format off
// In report order, which is not the bit order.
const StatusBit kStatusBits[] = {
//   label                          mask    set: text, status     clear: text, status   firmware
    {L"Power OK",                   0x0001, L"Yes", kPassed,      L"No", kAlarm,        nullptr},
    {L"On battery",                 0x0004, L"Yes", kAlarm,       L"No", kPassed,       nullptr},
    {L"Low battery",                0x0008, L"Yes", kAlarm,       L"No", kPassed,       nullptr},
    {L"Battery failure",            0x0020, L"Yes", kAlarm,       L"No", kPassed,       nullptr},
    {L"Battery settings failure",   0x0002, L"Yes", kAlarm,       L"No", kPassed,       nullptr},
    {L"Battery polarity reversed",  0x0010, L"Yes", kAlarm,       L"No", kPassed,       L"1.08"},
    {L"Factory settings failure",   0x0200, L"Yes", kAlarm,       L"No", kPassed,       L"1.10"},
    {L"User settings failure",      0x0400, L"Yes", kPassed,      L"No", kPassed,       L"1.10"},
    {L"Over current alarm",         0x0100, L"Yes", kAlarm,       L"No", kPassed,       L"1.10"},
    {L"Battery temperature alarm",  0x8000, L"Yes", kAlarm,       L"No", kPassed,       L"1.10"},
};

using Source = SettingsSource;
using Value = SettingsValue;

// The "Factory Settings" category of a ZELO. Its first read decides whether the category appears.
const SettingsTest kFactorySettings[] = {
    {L"Version", nullptr, Source::kFactoryString, 34, 512, Value::kText, kFmtString, On87::kOmitBlock},
    {L"Vendor ID", L"Kavrol = 0.", Source::kFactoryValue, 37, 4, Value::kHex32, kFmtHex, On87::kErrorResult},
    {L"Device ID", nullptr, Source::kFactoryValue, 35, 4, Value::kHex32, kFmtHex, On87::kErrorResult},
    {L"Compatibility ID",
     L"The compatibility ID is used to recognize hardware changes that are important for device-specific software.",
                             Source::kFactoryValue, 36, 2, Value::kHex16, kFmtHex, On87::kErrorResult},
    {L"Hardware revision", nullptr, Source::kFactoryValue, 38, 512, Value::kText, kFmtString, On87::kErrorResult},
    {L"Serial number", nullptr, Source::kFactoryString, 39, 512, Value::kText, kFmtString, On87::kErrorResult},
    {L"Model number", nullptr, Source::kFactoryString, 40, 512, Value::kText, kFmtString, On87::kErrorResult},
    {L"Raw data", L"Complete factory settings", Source::kFactoryValue, 33, 256, Value::kRawData, kFmtRaw,
                                                                                             On87::kErrorResult},
};

// The "Battery Settings" category of a ZELO, after its "Status" test.
const SettingsTest kBatterySettings[] = {
    {L"Version", nullptr, Source::kFactoryValue, 42, 512, Value::kText, kFmtString, On87::kSkip},
    {L"Device ID", nullptr, Source::kFactoryValue, 43, 4, Value::kHex32, kFmtHex, On87::kSkip},
    {L"Model number", nullptr, Source::kFactoryValue, 44, 512, Value::kText, kFmtString, On87::kSkip},
    {L"Raw data", L"Complete factory settings", Source::kFactoryValue, 41, 256, Value::kRawData, kFmtRaw, On87::kSkip},
};
// clang-format on

// Library selectors.
const UINT kPresenceFirst = 28;      // IxaGetHardwareValue, nonzero when a UPS is fitted
const UINT kPresenceSecond = 29;     // IxaGetHardwareValue, nonzero when a UPS is fitted
const UINT kTypeText = 30;           // IxaGetHardwareStringW
const UINT kCommunication = 36;      // IxaGetHardwareValue: byte 0 requests, byte 1 errors
const UINT kBatteryCurrent = 32;     // IxaGetHardwareValue, signed milliamperes
const UINT kBatteryVoltage = 33;     // IxaGetHardwareValue, millivolts
const UINT kBatteryTemperature = 7;  // IxaGetTemperature, signed whole degrees
const UINT kBatteryAlarm = 18;       // IxaGetAlarm
const UINT kOnBatteryCycles = 18;    // IxaGetStatisticsValue
const UINT kOnBatteryHours = 19;     // IxaGetStatisticsValue

// String table: the descriptions of the two on-battery counters.
const UINT kIdsOnBatteryCycles = 419;  // "Number of battery operation cycles (e.g. power failures)"
const UINT kIdsOnBatteryHours = 420;   // "Battery operation hours " (with its trailing blank)

const UINT kTextBytes = 512;

const wchar_t kZelo[] = L"ZELO";
const wchar_t kZelos[] = L"ZELOS";

bool CallSettings(const DeviceInterface& device, const SettingsTest& test, void* buffer)
{
    if (test.source == SettingsSource::kFactoryString)
        return device.IxaGetFactoryStringW &&
               device.IxaGetFactoryStringW(test.selector, static_cast<wchar_t*>(buffer), test.size);
    return device.IxaGetFactoryValue && device.IxaGetFactoryValue(test.selector, buffer, test.size);
}

SettingsRead ReadFailed() { return SettingsRead{false, ::GetLastError(), std::wstring()}; }

SettingsRead ReadSetting(const DeviceInterface& device, const SettingsTest& test)
{
    switch (test.value) {
    case SettingsValue::kText: {
        LibraryText<kTextBytes> text;
        assert(test.size <= text.kBytes);
        if (!CallSettings(device, test, text.text))
            return ReadFailed();
        return SettingsRead{true, ERROR_SUCCESS, text.text};
    }
    case SettingsValue::kHex32: {
        UINT32 value = 0;
        assert(test.size == sizeof value);
        if (!CallSettings(device, test, &value))
            return ReadFailed();
        return SettingsRead{true, ERROR_SUCCESS, Format(L"%08X", static_cast<unsigned>(value))};
    }
    case SettingsValue::kHex16: {
        UINT16 value = 0;
        assert(test.size == sizeof value);
        if (!CallSettings(device, test, &value))
            return ReadFailed();
        return SettingsRead{true, ERROR_SUCCESS, Format(L"%04X", static_cast<unsigned>(value))};
    }
    case SettingsValue::kRawData: {
        unsigned char bytes[256] = {};
        assert(test.size <= sizeof bytes);
        if (!CallSettings(device, test, bytes))
            return ReadFailed();
        SettingsRead read{true, ERROR_SUCCESS, std::wstring()};
        FormatRawData(bytes, test.size, read.text);
        return read;
    }
    }
    return SettingsRead{};
}

}  // namespace

unsigned LinkQuality(unsigned requests, unsigned errors)
{
    const unsigned lost = errors * 100 / requests;
    // More errors than requests would wrap around below 0.
    return lost >= 100 ? 0 : 100 - lost;
}

std::wstring BatteryCurrentText(INT32 milliamperes)
{
    const float amperes = static_cast<float>(milliamperes) / 1000.0f;
    return Format(milliamperes < 0 ? L"%.1f" : L"%.2f", static_cast<double>(amperes));
}

std::wstring BatteryVoltageText(UINT32 millivolts)
{
    const float volts = static_cast<float>(millivolts) / 1000.0f;
    return Format(L"%.2f", static_cast<double>(volts));
}

void CTestUPS::RunTests()
{
    if (!IsUpsPresent())
        return;

    Writer().BeginGroup(L"UPS", L"Contains tests of several UPS related items like battery voltages or UPS status.",
                        L"Firmware", nullptr);
    WriteFirmwareTests();
    Writer().BeginCategory(L"Status", nullptr);
    WriteStatusTests();
    if (m_model == kUpsZelo) {
        WriteFactorySettingsTests();
        Writer().BeginCategory(L"Battery Settings", nullptr);
        WriteBatterySettingsTests();
    }
    Writer().BeginCategory(L"User Settings", nullptr);
    WriteUserSettingsTests();
    Writer().BeginCategory(L"System Settings", nullptr);
    WriteSystemSettingsTests();
    Writer().BeginCategory(L"Temperatures", nullptr);
    WriteTemperatureTest();
    Writer().BeginCategory(L"Currents", nullptr);
    WriteCurrentTest();
    Writer().BeginCategory(L"Voltages", nullptr);
    WriteVoltageTest();
    if (m_model == kUpsZelos) {
        Writer().BeginCategory(L"Statistics", nullptr);
        WriteStatisticsTests();
    }
    Writer().EndGroup();
}

bool CTestUPS::ReadHardwareValue(UINT selector, DWORD& value)
{
    return m_device.IxaGetHardwareValue && m_device.IxaGetHardwareValue(selector, &value, sizeof value);
}

bool CTestUPS::ReadGateVersion(GateVersionText& version)
{
    return m_device.IxaGetFirmwareStringW &&
           m_device.IxaGetFirmwareStringW(kFirmwareVersionSelector, version.text, version.kBytes);
}

void CTestUPS::WriteTest(const wchar_t* label, const wchar_t* description, const std::wstring& text, int status,
                         int format)
{
    Writer().BeginTest(label, description);
    Writer().WriteResult(text.c_str(), status, format);
    Writer().EndTest();
}

void CTestUPS::WriteErrorTest(const wchar_t* label, const wchar_t* description, DWORD code)
{
    WriteTest(label, description, SystemErrorText(code), kFailed, kFmtString);
}

bool CTestUPS::IsUpsPresent()
{
    DWORD first = 0;
    DWORD second = 0;
    return ReadHardwareValue(kPresenceFirst, first) && ReadHardwareValue(kPresenceSecond, second) && first != 0 &&
           second != 0;
}

// "Type" alone decides the UPS model; any other text leaves it as it was.
void CTestUPS::WriteFirmwareTests()
{
    LibraryText<kTextBytes> type;
    if (m_device.IxaGetHardwareStringW && m_device.IxaGetHardwareStringW(kTypeText, type.text, type.kBytes)) {
        WriteTest(L"Type", nullptr, type.text, kPassed, kFmtString);
        if (wcscmp(type.text, kZelo) == 0)
            m_model = kUpsZelo;
        else if (wcscmp(type.text, kZelos) == 0)
            m_model = kUpsZelos;
    } else {
        WriteErrorTest(L"Type", nullptr, ::GetLastError());
    }
    if (m_model != kUpsZelo)
        return;

    LibraryText<kTextBytes> version;
    if (m_device.IxaGetFirmwareStringW &&
        m_device.IxaGetFirmwareStringW(kFirmwareVersionSelector, version.text, version.kBytes)) {
        WriteTest(L"Firmware version", nullptr, version.text, kPassed, kFmtString);
        return;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_PARAMETER)
        WriteErrorTest(L"Firmware version", nullptr, error);
}

void CTestUPS::WriteStatusTests()
{
    DWORD status = 0;
    if (ReadHardwareValue(kStatusWordSelector, status))
        WriteStatusBitTests(status);
    else
        WriteErrorTest(L"Status", nullptr, ::GetLastError());
    if (m_model == kUpsZelo)
        WriteCommunicationTests();
}

// Older firmware does not set the later bits: they are shown only from the
// version that has them. A ZELOS has them all.
void CTestUPS::WriteStatusBitTests(DWORD status)
{
    bool versionRead = false;
    bool versionKnown = false;
    GateVersionText version;
    for (const StatusBit& bit : kStatusBits) {
        if (bit.minimumFirmware && m_model != kUpsZelos) {
            if (!versionRead) {
                versionKnown = ReadGateVersion(version);
                versionRead = true;
            }
            if (!versionKnown || CompareVersionText(version.text, bit.minimumFirmware) < 0)
                continue;
        }
        const bool set = (status & bit.mask) != 0;
        WriteTest(bit.label, nullptr, set ? bit.setText : bit.clearText, set ? bit.setStatus : bit.clearStatus,
                  kFmtYesNo);
    }
}

void CTestUPS::WriteCommunicationTests()
{
    DWORD counters = 0;
    if (!ReadHardwareValue(kCommunication, counters)) {
        const DWORD error = ::GetLastError();
        WriteErrorTest(L"Communication requests", nullptr, error);
        WriteErrorTest(L"Communication errors", nullptr, error);
        WriteErrorTest(L"Link quality", nullptr, error);
        return;
    }
    const unsigned requests = counters & 0xFF;
    const unsigned errors = (counters >> 8) & 0xFF;
    if (requests == 0)
        return;
    WriteTest(L"Communication requests", nullptr, Format(L"%u", requests), kPassed, kFmtString);
    WriteTest(L"Communication errors", nullptr, Format(L"%u", errors), kPassed, kFmtString);
    WriteTest(L"Link quality", nullptr, Format(L"%u", LinkQuality(requests, errors)), kPassed, kFmtPercent);
}

void CTestUPS::WriteSettingsTest(const SettingsTest& test, const SettingsRead& read)
{
    if (read.ok) {
        WriteTest(test.label, test.description, read.text, kPassed, test.format);
        return;
    }
    if (read.error == ERROR_INVALID_PARAMETER && test.on87 == On87::kSkip)
        return;
    WriteErrorTest(test.label, test.description, read.error);
}

void CTestUPS::WriteFactorySettingsTests()
{
    bool categoryOpen = false;
    for (const SettingsTest& test : kFactorySettings) {
        const SettingsRead read = ReadSetting(m_device, test);
        if (!read.ok && read.error == ERROR_INVALID_PARAMETER && test.on87 == On87::kOmitBlock)
            return;
        if (!categoryOpen) {
            Writer().BeginCategory(L"Factory Settings", nullptr);
            categoryOpen = true;
        }
        WriteSettingsTest(test, read);
    }
}

void CTestUPS::WriteBatterySettingsTests()
{
    // The status word's bit 1 flags invalid battery settings; a failed read keeps
    // its error text but passes.
    DWORD status = 0;
    if (ReadHardwareValue(kStatusWordSelector, status))
        WriteTest(L"Status", nullptr, (status & kBatterySettingsFailure) ? L"Invalid" : L"Valid", kPassed,
                  kFmtUnknown);
    else
        WriteTest(L"Status", nullptr, SystemErrorText(::GetLastError()), kPassed, kFmtString);
    for (const SettingsTest& test : kBatterySettings)
        WriteSettingsTest(test, ReadSetting(m_device, test));
}

void CTestUPS::WriteTemperatureTest()
{
    signed char degrees = 0;
    if (!m_device.IxaGetTemperature || !m_device.IxaGetTemperature(kBatteryTemperature, &degrees, sizeof degrees)) {
        WriteErrorTest(L"Battery temperature", nullptr, ::GetLastError());
        return;
    }
    DWORD alarm = 0;
    if (!m_device.IxaGetAlarm || !m_device.IxaGetAlarm(kBatteryAlarm, &alarm, sizeof alarm))
        alarm = 0;
    WriteTest(L"Battery temperature", nullptr, Format(L"%d.00", static_cast<int>(degrees)), alarm ? kAlarm : kPassed,
              kFmtDegreeCentigrade);
}

void CTestUPS::WriteCurrentTest()
{
    DWORD current = 0;
    if (ReadHardwareValue(kBatteryCurrent, current))
        WriteTest(L"Battery current", nullptr, BatteryCurrentText(static_cast<INT32>(current)), kPassed, kFmtAmpere);
    else
        WriteErrorTest(L"Battery current", nullptr, ::GetLastError());
}

void CTestUPS::WriteVoltageTest()
{
    DWORD voltage = 0;
    if (ReadHardwareValue(kBatteryVoltage, voltage))
        WriteTest(L"Battery voltage", nullptr, BatteryVoltageText(voltage), kPassed, kFmtVolt);
    else
        WriteErrorTest(L"Battery voltage", nullptr, ::GetLastError());
}

// A 32-bit read, repeated as 16-bit on error 87.
void CTestUPS::WriteStatisticsTests()
{
    WriteStatisticsCounter(L"On-battery cycles", LoadResourceString(kIdsOnBatteryCycles).c_str(), kOnBatteryCycles);
    WriteStatisticsCounter(L"On-battery hours", LoadResourceString(kIdsOnBatteryHours).c_str(), kOnBatteryHours);
}

}  // namespace kv
