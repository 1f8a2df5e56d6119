#include "groups/units/system_unit_group.h"

#include "device/library_text.h"
#include "device/text_helpers.h"

#include <vector>

namespace kv {

// One board temperature: its label, the device types that have it, and the
// temperature and alarm selectors of IxaGetTemperature and IxaGetAlarm.
struct BoardTemperature {
    const wchar_t* label;
    const wchar_t* description;  // null: none
    TypeSet types;
    UINT temperatureSelector;
    UINT alarmSelector;
};

namespace {

// ---- Device-type rules ----

// Sections of the group left out on these device types.
const TypeSet kWithoutKmon = Types({22});
const TypeSet kWithoutVdLink = Types({7, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22});
const TypeSet kWithoutFans = Types({15, 16, 17, 18, 19, 20, 21, 22});
const TypeSet kWithoutSwitches = Types({6, 7, 16, 18, 19, 20, 21, 22});
const TypeSet kWithoutBattery = Types({20, 21, 22});

// Sections only these device types have.
const TypeSet kWithOptimizedId = Types({6, 7});
const TypeSet kWithLargeRawData = Types({15, 16, 17, 18, 19, 20, 21});  // 2048 bytes, else 256
const TypeSet kWithSensors = Types({15, 16, 17, 18, 19, 20, 21});       // sensors 1 to 4 instead of the board table
const TypeSet kWithCaseFan4 = Types({12, 13});
const TypeSet kWithCmosProfile = Types({12, 13, 14});
const TypeSet kWithModeNode = Types({15, 17});
const TypeSet kWithVbat = Types({6, 7, 15, 16, 17, 18, 19});

// Board temperatures in report order; a row whose types exclude the device is skipped.
//                                                                    types           temperature alarm
const BoardTemperature kBoardTemperatures[] = {
    {L"Power supply", nullptr, Types({6, 7, 12, 13, 14}), 2, 1},
    {L"Board power supply", nullptr, Types({12, 13}), 8, 20},
    {L"Board Ethernet Controller 2", nullptr, Types({12, 13}), 9, 21},
    {L"Board I/O", nullptr, Types({6, 7, 12, 13}), 1, 0},
    {L"Board out", L"Temperature of the baseboard at the air outlet (at the top of the device).", Types({14}), 12, 24},
    {L"Board center", L"Temperature in the baseboard center of (between baseboard and CPU board).", Types({14}), 13,
     25},
    {L"Board in", L"Temperature of the baseboard at the air inlet (at the bottom of the device).", Types({14}), 11,
     23},
    {L"Ethernet Controller 2", nullptr, Types({12}), 10, 22},
    {L"Slide-In drive 1", nullptr, Types({6, 7, 12, 13}), 3, 2},
    {L"Slide-In drive 2", nullptr, Types({6, 7, 12}), 4, 3},
    {L"IF slot", nullptr, Types({13, 14}), 14, 26},
};

// Sensors 1 to 4 of the sensor variant: temperature selectors 19 to 22, alarm selectors 31 to 34.
const UINT kFirstSensorTemperature = 19;
const UINT kFirstSensorAlarm = 31;
const UINT kSensorCount = 4;

// ---- Selectors ----

const UINT kFirmwareKmonVersion = 27;   // IxaGetFirmwareStringW
const UINT kFirmwareKmonBootArea = 29;  // IxaGetFirmwareValue, 1 = high area
const UINT kFirmwareFpgaVersion = 18;   // IxaGetFirmwareStringW
const UINT kFirmwareQz16Version = 19;   // IxaGetFirmwareStringW
const UINT kHardwareVdLinkType = 18;    // IxaGetHardwareValue, 0 = no VD Link
const UINT kHardwareVdLinkText = 19;    // IxaGetHardwareStringW
const UINT kFirmwareVdLinkFpga = 24;    // IxaGetFirmwareStringW

// How a factory settings item is read and written.
enum class FactoryRead {
    kValueText,  // IxaGetFactoryValue into 512 bytes of wide text
    kHex32,      // IxaGetFactoryValue, 4 bytes, "%08X", "Hex"
    kHex16,      // IxaGetFactoryValue, 2 bytes, "%04X", "Hex"
    kString,     // IxaGetFactoryStringW, 512 bytes
    kBits,       // IxaGetHardwareValue, 1 byte, eight binary digits, "Dec"
    kRawData,    // IxaGetFactoryValue, 256 or 2048 bytes, hexadecimal dump
};

struct FactoryItem {
    const wchar_t* label;
    const wchar_t* description;  // null: none
    FactoryRead read;
    UINT selector;
    bool notAvailableOn87;  // error 87 gives "N/A" instead of the error text
    bool optimizedId;       // only on the device types with an optimized ID
};

const FactoryItem kFactoryItems[] = {
    {L"Version", nullptr, FactoryRead::kValueText, 1, false, false},
    {L"Vendor ID", L"Kavrol = 0.", FactoryRead::kHex32, 11, false, false},
    {L"Device ID", nullptr, FactoryRead::kHex32, 2, false, false},
    {L"Compatibility ID",
     L"The compatibility ID is used to recognize hardware changes that are important for device specific software.",
     FactoryRead::kHex16, 3, false, false},
    {L"Parent Device ID",
     L"The parent device ID indicates the device, from which the actual device was derived (e.g. at a customer "
     L"specific variant of a standard device). FFFFFFFFh means no parent.",
     FactoryRead::kHex32, 31, true, false},
    {L"Parent Compatibility ID",
     L"The compatibility ID indicates the device, from which the actual device was derived (e.g. at a customer "
     L"specific variant of a standard device). FFFFh means no parent.",
     FactoryRead::kHex16, 32, true, false},
    {L"Hardware revision", nullptr, FactoryRead::kString, 12, false, false},
    {L"Serial number", nullptr, FactoryRead::kString, 13, false, false},
    {L"Model number", nullptr, FactoryRead::kString, 14, false, false},
    {L"Optimized ID", nullptr, FactoryRead::kBits, 15, false, true},
    {L"Raw data", L"Complete factory settings of the Kavrol device.", FactoryRead::kRawData, 17, false, false},
};

const UINT kSmallRawData = 256;
const UINT kLargeRawData = 2048;

// Operating counters of IxaGetStatisticsValue and what an unreadable one gives.
enum class CounterFailure {
    kNotAvailableOn87,  // "N/A" ("Dec") when the last read failed with 87, else the error text
    kError,             // the error text
    kLeftOut,           // no test at all; the test is opened only after a successful read
};

struct Counter {
    const wchar_t* label;
    UINT selector;
    CounterFailure failure;
};

const Counter kCounters[] = {
    {L"Power-on cycles", 0, CounterFailure::kNotAvailableOn87},
    {L"Power-on hours", 1, CounterFailure::kError},
    {L"Fan-on hours", 2, CounterFailure::kLeftOut},
};

// Case fans 1 to 4: IxaGetHardwareValue selectors 6 to 9, 2 bytes of rpm.
const UINT kFirstCaseFan = 6;

const UINT kHardwareCmosProfile = 51;  // 1 byte, "%x"
const UINT kHardwareModeNode = 0;      // 1 byte, "%02X"
const UINT kHardwareBatteryState = 37;  // signed 32 bits: 0 unknown, 1 good, 2 bad
const UINT kVoltageBattery = 3;         // IxaGetVoltage, millivolts

const UINT kTextBytes = 512;
using DeviceText = LibraryText<kTextBytes>;

}  // namespace

void CTestSystemUnit::RunTests()
{
    if (!PassDeviceTypeGate())
        return;
    UnitWriter out(m_device, Writer());
    Writer().BeginGroup(L"System Unit",
                        L"Contains tests of system unit specific items like temperatures, factory settings or fan "
                        L"speeds.",
                        L"Firmware", kManualSubCats);
    if (!TypeIn(kWithoutKmon))
        WriteKmon(out);
    if (!TypeIn(kWithoutVdLink))
        WriteVdLink(out);
    Writer().BeginCategory(L"Factory Settings", nullptr);
    WriteFactorySettings(out);
    Writer().BeginCategory(L"Statistics", nullptr);
    WriteStatistics(out);
    WriteTemperatures(out);
    if (!TypeIn(kWithoutFans)) {
        Writer().BeginCategory(L"Fans", nullptr);
        WriteFans(out);
    }
    if (!TypeIn(kWithoutSwitches)) {
        Writer().BeginCategory(L"Switches", nullptr);
        WriteSwitches(out);
    }
    if (!TypeIn(kWithoutBattery)) {
        Writer().BeginCategory(L"CMOS Battery", nullptr);
        WriteBattery(out);
    }
    Writer().EndGroup();
}

// A library with a KMON reports its version and boot area; one without reports
// the FPGA and QZ16 versions instead.
void CTestSystemUnit::WriteKmon(UnitWriter& out)
{
    Writer().BeginSubCategory(L"KMON");
    DeviceText version;
    if (!Call(m_device.IxaGetFirmwareStringW, kFirmwareKmonVersion, version.text, version.kBytes)) {
        WriteVersionOrNotAvailable(out, L"FPGA version", kFirmwareFpgaVersion);
        WriteVersionOrNotAvailable(out, L"QZ16 version", kFirmwareQz16Version);
        return;
    }
    out.Passed(Text(L"KMON version"), kNoText, version.text, kFmtString);
    WriteKmonBootMode(out);
}

void CTestSystemUnit::WriteKmonBootMode(UnitWriter& out)
{
    out.Begin(Text(L"Boot mode"));
    UINT32 area = 0;
    // Only a return value of exactly 1 counts as a read.
    const int result = m_device.IxaGetFirmwareValue
                           ? m_device.IxaGetFirmwareValue(kFirmwareKmonBootArea, &area, sizeof area)
                           : (::SetLastError(ERROR_PROC_NOT_FOUND), 0);
    if (result == 1)
        out.Result(area == 1 ? L"High area" : L"Low area", kFmtString);
    else
        out.Error(::GetLastError());
    out.End();
}

void CTestSystemUnit::WriteVersionOrNotAvailable(UnitWriter& out, const wchar_t* label, UINT selector)
{
    out.Begin(Text(label));
    DeviceText version;
    if (Call(m_device.IxaGetFirmwareStringW, selector, version.text, version.kBytes))
        out.Result(version.text, kFmtString);
    else if (::GetLastError() == ERROR_INVALID_PARAMETER)
        out.NotAvailable();
    else
        out.Error(::GetLastError());
    out.End();
}

void CTestSystemUnit::WriteVdLink(UnitWriter& out)
{
    Writer().BeginSubCategory(L"VD Link");
    out.Begin(Text(L"Type"));
    UINT32 type = 0;
    Call(m_device.IxaGetHardwareValue, kHardwareVdLinkType, &type, static_cast<UINT>(sizeof type));
    if (type == 0) {
        out.Result(L"Not available", kFmtString);
        out.End();
        return;
    }
    DeviceText text;
    if (!Call(m_device.IxaGetHardwareStringW, kHardwareVdLinkText, text.text, text.kBytes)) {
        out.Error(::GetLastError());
        out.End();
        return;
    }
    out.Result(text.text, kFmtString);
    out.End();

    out.Begin(Text(L"FPGA version"));
    DeviceText fpga;
    if (Call(m_device.IxaGetFirmwareStringW, kFirmwareVdLinkFpga, fpga.text, fpga.kBytes))
        out.Result(fpga.text, kFmtString);
    else
        out.Error(::GetLastError());
    out.End();
}

namespace {

struct FactoryReading {
    bool ok;
    std::wstring text;
    int format;
    DWORD error;
};

// Called right after the failed read: keeps its last error.
FactoryReading FactoryFailed() { return FactoryReading{false, std::wstring(), kFmtString, ::GetLastError()}; }

FactoryReading ReadFactoryItem(DeviceInterface& device, const FactoryItem& item, UINT rawDataSize)
{
    switch (item.read) {
    case FactoryRead::kValueText: {
        DeviceText text;
        if (!Call(device.IxaGetFactoryValue, item.selector, text.text, text.kBytes))
            return FactoryFailed();
        return FactoryReading{true, text.text, kFmtString, ERROR_SUCCESS};
    }
    case FactoryRead::kHex32: {
        UINT32 value = 0;
        if (!Call(device.IxaGetFactoryValue, item.selector, &value, static_cast<UINT>(sizeof value)))
            return FactoryFailed();
        return FactoryReading{true, Format(L"%08X", static_cast<unsigned>(value)), kFmtHex, ERROR_SUCCESS};
    }
    case FactoryRead::kHex16: {
        UINT16 value = 0;
        if (!Call(device.IxaGetFactoryValue, item.selector, &value, static_cast<UINT>(sizeof value)))
            return FactoryFailed();
        return FactoryReading{true, Format(L"%04X", static_cast<unsigned>(value)), kFmtHex, ERROR_SUCCESS};
    }
    case FactoryRead::kString: {
        DeviceText text;
        if (!Call(device.IxaGetFactoryStringW, item.selector, text.text, text.kBytes))
            return FactoryFailed();
        return FactoryReading{true, text.text, kFmtString, ERROR_SUCCESS};
    }
    case FactoryRead::kBits: {
        BYTE bits = 0;
        if (!Call(device.IxaGetHardwareValue, item.selector, &bits, static_cast<UINT>(sizeof bits)))
            return FactoryFailed();
        return FactoryReading{true, BitsText(bits), kFmtDec, ERROR_SUCCESS};
    }
    case FactoryRead::kRawData: {
        std::vector<unsigned char> bytes(rawDataSize, 0);
        if (!Call(device.IxaGetFactoryValue, item.selector, bytes.data(), rawDataSize))
            return FactoryFailed();
        std::wstring dump;
        FormatRawData(bytes.data(), bytes.size(), dump);
        return FactoryReading{true, dump, kFmtRaw, ERROR_SUCCESS};
    }
    }
    return FactoryFailed();
}

}  // namespace

void CTestSystemUnit::WriteFactorySettings(UnitWriter& out)
{
    const UINT rawDataSize = TypeIn(kWithLargeRawData) ? kLargeRawData : kSmallRawData;
    for (const FactoryItem& item : kFactoryItems) {
        if (item.optimizedId && !TypeIn(kWithOptimizedId))
            continue;
        out.Begin(Text(item.label), Text(item.description));
        const FactoryReading reading = ReadFactoryItem(m_device, item, rawDataSize);
        if (reading.ok)
            out.Result(reading.text, reading.format);
        else if (item.notAvailableOn87 && reading.error == ERROR_INVALID_PARAMETER)
            out.NotAvailable();
        else
            out.Error(reading.error);
        out.End();
    }
}

void CTestSystemUnit::WriteStatistics(UnitWriter& out)
{
    for (const Counter& counter : kCounters) {
        const CounterReading reading = ReadCounter(m_device, counter.selector);
        if (!reading.ok && counter.failure == CounterFailure::kLeftOut)
            continue;
        out.Begin(Text(counter.label));
        if (reading.ok)
            out.Result(Format(L"%u", static_cast<unsigned>(reading.value)), kFmtDec);
        else if (counter.failure == CounterFailure::kNotAvailableOn87 && reading.error == ERROR_INVALID_PARAMETER)
            out.NotAvailable(kFmtDec);
        else
            out.Error(reading.error);
        out.End();
    }
}

namespace {

// A temperature alarm flag; an unreadable one counts as no alarm.
bool ReadAlarm(DeviceInterface& device, UINT selector)
{
    UINT32 alarm = 0;
    if (!Call(device.IxaGetAlarm, selector, &alarm, static_cast<UINT>(sizeof alarm)))
        return false;
    return alarm != 0;
}

}  // namespace

void CTestSystemUnit::WriteTemperatures(UnitWriter& out)
{
    bool categoryOpen = false;
    if (TypeIn(kWithSensors)) {
        for (UINT sensor = 0; sensor < kSensorCount; ++sensor) {
            signed char degrees = 0;
            if (!Call(m_device.IxaGetTemperature, kFirstSensorTemperature + sensor, &degrees,
                      static_cast<UINT>(sizeof degrees)))
                continue;
            if (!categoryOpen)
                Writer().BeginCategory(L"Temperatures", nullptr);
            categoryOpen = true;
            const bool alarm = ReadAlarm(m_device, kFirstSensorAlarm + sensor);
            out.Begin(Format(L"Sensor %u", sensor + 1));
            out.Result(Format(L"%d", static_cast<int>(degrees)), kFmtDegreeCentigrade, alarm ? kAlarm : kPassed);
            out.End();
        }
        return;
    }
    for (const BoardTemperature& sensor : kBoardTemperatures) {
        if (!TypeIn(sensor.types))
            continue;
        if (!categoryOpen)
            Writer().BeginCategory(L"Temperatures", nullptr);
        categoryOpen = true;
        WriteBoardTemperature(out, sensor);
    }
}

void CTestSystemUnit::WriteBoardTemperature(UnitWriter& out, const BoardTemperature& sensor)
{
    out.Begin(Text(sensor.label), Text(sensor.description));
    signed char degrees = 0;
    if (Call(m_device.IxaGetTemperature, sensor.temperatureSelector, &degrees, static_cast<UINT>(sizeof degrees))) {
        const bool alarm = ReadAlarm(m_device, sensor.alarmSelector);
        out.Result(Format(L"%d", static_cast<int>(degrees)), kFmtDegreeCentigrade, alarm ? kAlarm : kPassed);
    } else {
        out.Error(::GetLastError());
    }
    out.End();
}

// Speeds are not judged; a fan that cannot be read is left out.
void CTestSystemUnit::WriteFans(UnitWriter& out)
{
    const UINT fans = TypeIn(kWithCaseFan4) ? 4 : 3;
    for (UINT fan = 0; fan < fans; ++fan) {
        UINT16 rpm = 0;
        if (!Call(m_device.IxaGetHardwareValue, kFirstCaseFan + fan, &rpm, static_cast<UINT>(sizeof rpm)))
            continue;
        out.Begin(Format(L"Case fan %u", fan + 1));
        out.Result(Format(L"%u", static_cast<unsigned>(rpm)), kFmtRpm);
        out.End();
    }
}

void CTestSystemUnit::WriteSwitches(UnitWriter& out)
{
    if (TypeIn(kWithCmosProfile)) {
        out.Begin(Text(L"CMOS profile"));
        BYTE profile = 0;
        if (Call(m_device.IxaGetHardwareValue, kHardwareCmosProfile, &profile, static_cast<UINT>(sizeof profile)))
            out.Result(Format(L"%x", static_cast<unsigned>(profile)), kFmtHex);
        else
            out.Error(::GetLastError());
        out.End();
    }
    if (TypeIn(kWithModeNode)) {
        out.Begin(Text(L"Mode/Node"), Text(L"The setting of the Mode/Node switches."));
        BYTE setting = 0;
        if (Call(m_device.IxaGetHardwareValue, kHardwareModeNode, &setting, static_cast<UINT>(sizeof setting)))
            out.Result(Format(L"%02X", static_cast<unsigned>(setting)), kFmtHex);
        else
            out.Error(::GetLastError());
        out.End();
    }
}

void CTestSystemUnit::WriteBattery(UnitWriter& out)
{
    out.Begin(Text(L"CMOS battery state"), Text(L"0 = Unknown, 1 = Good, 2 = Bad (missing, defect or empty)."));
    INT32 state = 0;
    if (Call(m_device.IxaGetHardwareValue, kHardwareBatteryState, &state, static_cast<UINT>(sizeof state)))
        out.Result(Format(L"%d", static_cast<int>(state)), kFmtDec);
    else
        out.Error(::GetLastError());
    out.End();

    if (!TypeIn(kWithVbat))
        return;
    out.Begin(Text(L"Vbat"), Text(L"Battery voltage (Vbat)"));
    UINT32 millivolts = 0;
    if (Call(m_device.IxaGetVoltage, kVoltageBattery, &millivolts, static_cast<UINT>(sizeof millivolts))) {
        const float volts = static_cast<float>(millivolts) / 1000.0f;
        out.Result(Format(L"%.3f", static_cast<double>(volts)), kFmtVolt);
    } else {
        out.Error(::GetLastError());
    }
    out.End();
}

}  // namespace kv
