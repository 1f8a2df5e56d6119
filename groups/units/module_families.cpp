#include "groups/units/module_families.h"

#include "device/library_text.h"
#include "device/text_helpers.h"

#include <cmath>
#include <vector>

namespace kv {

// How an FPGA value is read and shown (IxaGet...ModuleFirmwareValue, sub-index 0).
enum class FpgaRead {
    kText,      // 512 bytes of wide text
    kBootArea,  // 4 bytes: "High area" (171) for 1, else "Low area" (170)
    kCrcState,  // 4 bytes: "OK" (172) for 0, else "Error" (173)
    kCounter,   // signed 32 bits, "%d", "Dec"
};

struct FpgaTest {
    UINT label;
    UINT selector;
    FpgaRead read;
    bool leftOutOnFailure;  // where the form says so
};

namespace {

const UINT kTextBytes = 512;
using DeviceText = LibraryText<kTextBytes>;

const UINT kFirmwareFpgaId = 1001;  // a module without FPGA fails this read

// After "FPGA ID" (116), which shows the text already read.
const FpgaTest kFpgaTests[] = {
    {141, 0, FpgaRead::kText, false},        // "FPGA version"
    {142, 1002, FpgaRead::kBootArea, true},  // "FPGA booted from"
    {143, 1003, FpgaRead::kCrcState, false},  // "FPGA CRC state"
    {144, 1000, FpgaRead::kCounter, true},   // "FPGA update counter"
};
const UINT kIdsFpgaId = 116;

// How a factory value is read (sub-index 0) and shown.
enum class ModuleFactoryRead {
    kHex32,  // 4 bytes, "%08X", "Hex"
    kHex16,  // 2 bytes, "%04X", "Hex"
    kText,   // 512 bytes of wide text, "String"
};

struct ModuleFactoryItem {
    UINT label;
    UINT description;  // 0: none
    UINT selector;
    ModuleFactoryRead read;
};

// Between "Version" (selector 8) and "Raw data" (selectors 10 and 9).
const ModuleFactoryItem kFactoryItems[] = {
    {119, 120, 2, ModuleFactoryRead::kHex32},  // "Vendor ID", "Kavrol = 0."
    {121, 0, 0, ModuleFactoryRead::kHex32},    // "Device ID"
    {122, 123, 1, ModuleFactoryRead::kHex16},  // "Compatibility ID"
    {124, 125, 6, ModuleFactoryRead::kHex32},  // "Parent Device ID"
    {126, 127, 7, ModuleFactoryRead::kHex16},  // "Parent Compatibility ID"
    {128, 0, 3, ModuleFactoryRead::kText},     // "Hardware revision"
    {129, 0, 4, ModuleFactoryRead::kText},     // "Serial number"
    {130, 0, 5, ModuleFactoryRead::kText},     // "Model number"
};
const UINT kIdsVersion = 117;
const UINT kFactoryVersion = 8;
const UINT kIdsRawData = 131;
const UINT kIdsRawDataDescription = 132;
const UINT kFactoryRawDataSize = 10;  // 2 bytes
const UINT kFactoryRawData = 9;       // exactly that many bytes

// Counters of a counter set (the sub-index).
const UINT kStatisticsCycles = 0;  // unsigned 32 bits
const UINT kStatisticsHours = 1;   // 32-bit float, hours

// Sensors 0 to 3 (the sub-index).
const UINT kSensors = 4;
const UINT kTemperatureCurrent = 0;     // 32-bit float, degrees Celsius
const UINT kTemperatureAlarm = 1;       // 4 bytes, nonzero = alarm
const UINT kTemperatureStatistics = 1000;  // the 20-byte block below
const UINT kTemperatureStatisticsBytes = 20;

// The temperature statistics block: packed, little-endian.
struct SensorStatistics {
    UINT32 belowMinLog;    // offset 0, quarter hours
    UINT32 belowMinAlarm;  // offset 4, quarter hours
    INT16 minimum;         // offset 8, quarter degrees
    UINT32 aboveMaxLog;    // offset 10, quarter hours
    UINT32 aboveMaxAlarm;  // offset 14, quarter hours
    INT16 maximum;         // offset 18, quarter degrees
};

UINT32 Le32(const unsigned char* bytes)
{
    return static_cast<UINT32>(bytes[0]) | static_cast<UINT32>(bytes[1]) << 8 | static_cast<UINT32>(bytes[2]) << 16 |
           static_cast<UINT32>(bytes[3]) << 24;
}

INT16 Le16(const unsigned char* bytes)
{
    return static_cast<INT16>(static_cast<UINT16>(bytes[0] | bytes[1] << 8));
}

SensorStatistics ParseSensorStatistics(const unsigned char* block)
{
    return SensorStatistics{Le32(block), Le32(block + 4), Le16(block + 8),
                            Le32(block + 10), Le32(block + 14), Le16(block + 18)};
}

}  // namespace

ModuleReader ModuleReader::PcModule(const DeviceInterface& device, BYTE module)
{
    ModuleReader reader;
    reader.m_module = module;
    reader.m_moduleReads[kFactory] = device.IxaGetModuleFactoryValue;
    reader.m_moduleReads[kFirmware] = device.IxaGetModuleFirmwareValue;
    reader.m_moduleReads[kStatistics] = device.IxaGetModuleStatisticsValue;
    reader.m_moduleReads[kTemperature] = device.IxaGetModuleTemperatureValue;
    return reader;
}

ModuleReader ModuleReader::PanelModule(const DeviceInterface& device, BYTE panel, BYTE module)
{
    ModuleReader reader;
    reader.m_panelModule = true;
    reader.m_panel = panel;
    reader.m_module = module;
    reader.m_panelModuleReads[kFactory] = device.IxaGetPanelModuleFactoryValue;
    reader.m_panelModuleReads[kFirmware] = device.IxaGetPanelModuleFirmwareValue;
    reader.m_panelModuleReads[kStatistics] = device.IxaGetPanelModuleStatisticsValue;
    reader.m_panelModuleReads[kTemperature] = device.IxaGetPanelModuleTemperatureValue;
    return reader;
}

bool ModuleReader::Read(Block block, UINT selector, UINT sub, void* buffer, UINT size) const
{
    if (m_panelModule)
        return Call(m_panelModuleReads[block], selector, m_panel, m_module, sub, buffer, size);
    return Call(m_moduleReads[block], selector, m_module, sub, buffer, size);
}

bool ModuleReader::Factory(UINT selector, void* buffer, UINT size) const
{
    return Read(kFactory, selector, 0, buffer, size);
}

bool ModuleReader::Firmware(UINT selector, void* buffer, UINT size) const
{
    return Read(kFirmware, selector, 0, buffer, size);
}

bool ModuleReader::Statistics(UINT selector, UINT sub, void* buffer, UINT size) const
{
    return Read(kStatistics, selector, sub, buffer, size);
}

bool ModuleReader::Temperature(UINT selector, UINT sub, void* buffer, UINT size) const
{
    return Read(kTemperature, selector, sub, buffer, size);
}

void ModuleTests::WriteFpga()
{
    DeviceText id;
    if (!m_reader.Firmware(kFirmwareFpgaId, id.text, id.kBytes))
        return;
    m_writer.BeginCategory(m_form.fpgaCategory);
    Passed(Id(kIdsFpgaId), kNoText, id.text, kFmtString);
    for (const FpgaTest& test : kFpgaTests)
        WriteFpgaTest(test);
}

void ModuleTests::WriteFpgaTest(const FpgaTest& test)
{
    DeviceText text;
    UINT32 value = 0;
    const bool ok = test.read == FpgaRead::kText ? m_reader.Firmware(test.selector, text.text, text.kBytes)
                                                  : m_reader.Firmware(test.selector, &value, sizeof value);
    const DWORD error = ::GetLastError();
    if (!ok && test.leftOutOnFailure && !m_form.keepFailedBootAreaAndCounter)
        return;
    Begin(Id(test.label));
    if (!ok) {
        Error(error);
        End();
        return;
    }
    switch (test.read) {
    case FpgaRead::kText:
        Result(text.text, kFmtString);
        break;
    case FpgaRead::kBootArea:
        Result(LoadResourceString(value == 1 ? 171 : 170), kFmtString);
        break;
    case FpgaRead::kCrcState:
        Result(LoadResourceString(value == 0 ? 172 : 173), kFmtString);
        break;
    case FpgaRead::kCounter:
        Result(Format(L"%d", static_cast<int>(static_cast<INT32>(value))), kFmtDec);
        break;
    }
    End();
}

void ModuleTests::WriteFactorySettings()
{
    m_writer.BeginCategory(m_form.factoryCategory);
    WriteFactoryVersion();
    for (const ModuleFactoryItem& item : kFactoryItems) {
        Begin(Id(item.label), Id(item.description));
        bool ok = false;
        DWORD error = ERROR_SUCCESS;
        std::wstring text;
        int format = kFmtHex;
        if (item.read == ModuleFactoryRead::kText) {
            DeviceText value;
            ok = m_reader.Factory(item.selector, value.text, value.kBytes);
            error = ::GetLastError();
            text = value.text;
            format = kFmtString;
        } else if (item.read == ModuleFactoryRead::kHex16) {
            UINT16 value = 0;
            ok = m_reader.Factory(item.selector, &value, sizeof value);
            error = ::GetLastError();
            text = Format(L"%04X", static_cast<unsigned>(value));
        } else {
            UINT32 value = 0;
            ok = m_reader.Factory(item.selector, &value, sizeof value);
            error = ::GetLastError();
            text = Format(L"%08X", static_cast<unsigned>(value));
        }
        if (ok)
            Result(text, format);
        else
            Error(error);
        End();
    }
    WriteRawData();
}

void ModuleTests::WriteFactoryVersion()
{
    DeviceText version;
    const bool ok = m_reader.Factory(kFactoryVersion, version.text, version.kBytes);
    const DWORD error = ::GetLastError();
    if (!ok && m_form.versionFailure == VersionFailure::kLeftOut)
        return;
    Begin(Id(kIdsVersion));
    if (ok)
        Result(version.text, kFmtString);
    else if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_CRC)
        NotAvailable();
    else
        Error(error);
    End();
}

// The block is read with exactly the size the module states for it.
void ModuleTests::WriteRawData()
{
    Begin(Id(kIdsRawData), Id(kIdsRawDataDescription));
    UINT16 size = 0;
    const bool sizeRead = m_reader.Factory(kFactoryRawDataSize, &size, sizeof size);
    const DWORD sizeError = ::GetLastError();
    if (!sizeRead || size == 0) {
        if (m_form.rawSizeFailure == RawSizeFailure::kNotAvailableOn87 && sizeError == ERROR_INVALID_PARAMETER)
            NotAvailable();
        else
            Error(sizeError);
        End();
        return;
    }
    std::vector<unsigned char> block(size, 0);
    if (m_reader.Factory(kFactoryRawData, block.data(), size)) {
        std::wstring dump;
        FormatRawData(block.data(), block.size(), dump);
        Result(dump, kFmtRaw);
    } else {
        Error(::GetLastError());
    }
    End();
}

void ModuleTests::WriteStatistics()
{
    bool categoryOpen = false;
    for (UINT set = 0; set < kCounterSets; ++set) {
        UINT32 cycles = 0;
        if (!m_reader.Statistics(kStatisticsCycles, set, &cycles, sizeof cycles))
            continue;
        if (!categoryOpen)
            m_writer.BeginCategory(m_form.statisticsCategory);
        categoryOpen = true;
        const CounterLabels& labels = m_form.counterSets[set];
        Passed(labels.cycles.name, labels.cycles.description, Format(L"%u", static_cast<unsigned>(cycles)), kFmtDec);

        float hours = 0.0f;
        std::wstring text;
        // A value that is no number of hours counts as an unreadable counter.
        if (!m_reader.Statistics(kStatisticsHours, set, &hours, sizeof hours) || !HoursText(hours, text))
            continue;
        Passed(labels.hours.name, labels.hours.description, text, kFmtString);
    }
}

void ModuleTests::WriteTemperatures()
{
    bool categoryOpen = false;
    for (UINT sensor = 0; sensor < kSensors; ++sensor) {
        float degrees = 0.0f;
        // A value that is no number of degrees (NaN, infinite) counts as an unreadable sensor.
        if (!m_reader.Temperature(kTemperatureCurrent, sensor, &degrees, sizeof degrees) || !std::isfinite(degrees))
            continue;
        if (!categoryOpen)
            m_writer.BeginCategoryManual(m_form.temperaturesCategory);
        categoryOpen = true;
        m_writer.BeginSubCategory(Format(LoadResourceString(m_form.sensorSubCategory).c_str(), sensor + 1).c_str());
        UINT32 alarm = 0;
        if (!m_reader.Temperature(kTemperatureAlarm, sensor, &alarm, sizeof alarm))
            alarm = 0;
        Begin(Id(151), Id(152));  // "Current", "Current temperature"
        Result(FloatText(degrees), kFmtDegreeCentigrade, alarm ? kAlarm : kPassed);
        End();
        WriteSensorStatistics(sensor);
    }
}

void ModuleTests::WriteSensorStatistics(UINT sensor)
{
    unsigned char block[kTemperatureStatisticsBytes] = {};
    if (!m_reader.Temperature(kTemperatureStatistics, sensor, block, sizeof block))
        return;
    const SensorStatistics statistics = ParseSensorStatistics(block);
    Passed(Id(153), Id(154), QuarterDegreesText(statistics.maximum), kFmtString);  // "Max."
    Passed(Id(155), Id(156), QuarterHourText(statistics.aboveMaxLog), kFmtString);     // "Log"
    Passed(Id(157), Id(158), QuarterHourText(statistics.aboveMaxAlarm), kFmtString);   // "Alarm"
    Passed(Id(159), Id(160), QuarterDegreesText(statistics.minimum), kFmtString);  // "Min."
    Passed(Id(161), Id(162), QuarterHourText(statistics.belowMinLog), kFmtString);     // "Log"
    Passed(Id(163), Id(164), QuarterHourText(statistics.belowMinAlarm), kFmtString);   // "Alarm"
}

}  // namespace kv
