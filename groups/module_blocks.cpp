// The data blocks every module group writes: factory settings, operating
// counters, FPGA firmware and temperature sensors. They differ between modules
// only in selectors (module_selectors.h), buffer sizes and labels.
#include "device/text_helpers.h"
#include "groups/group_base.h"

#include <vector>

namespace kv {
namespace {

// Text items are read into 512 bytes.
const UINT kTextBytes = 512;

// Where a factory item's selector comes from.
enum class FactorySelector { kVersion, kBase, kRawData };

// How a factory item is read and shown.
enum class FactoryRead {
    kHex32,             // IxaGetFactoryValue, 4 bytes, "%08X"
    kHex16,             // IxaGetFactoryValue, 2 bytes, "%04X"
    kValueText,         // IxaGetFactoryValue, 512 bytes of wide text
    kStringText,        // IxaGetFactoryStringW, 512 bytes
    kHardwareRevision,  // kValueText, or kStringText where the form says so
    kRawData,           // IxaGetFactoryValue, the raw-data size, hexadecimal dump
};

struct FactoryItem {
    FactorySelector selector;
    UINT offset;  // from the base selector
    FactoryRead read;
};

// The ten tests in report order, which is not the selector order.
const size_t kFactoryItemCount = 10;
const size_t kItemVersion = 0;
const size_t kItemRawData = 9;
static const FactoryItem kFactoryItems[kFactoryItemCount] = {
    {FactorySelector::kVersion, 0, FactoryRead::kValueText},                               // Version
    {FactorySelector::kBase, kOffsetVendorId, FactoryRead::kHex32},                        // Vendor ID
    {FactorySelector::kBase, kOffsetDeviceId, FactoryRead::kHex32},                        // Device ID
    {FactorySelector::kBase, kOffsetCompatibilityId, FactoryRead::kHex16},                 // Compatibility ID
    {FactorySelector::kBase, kOffsetParentDeviceId, FactoryRead::kHex32},                  // Parent Device ID
    {FactorySelector::kBase, kOffsetParentCompatibilityId, FactoryRead::kHex16},           // Parent Compatibility ID
    {FactorySelector::kBase, kOffsetHardwareRevision, FactoryRead::kHardwareRevision},     // Hardware revision
    {FactorySelector::kBase, kOffsetSerialNumber, FactoryRead::kStringText},               // Serial number
    {FactorySelector::kBase, kOffsetModelNumber, FactoryRead::kStringText},                // Model number
    {FactorySelector::kRawData, 0, FactoryRead::kRawData},                                 // Raw data
};

struct TestText {
    const wchar_t* label;
    const wchar_t* description;  // null: none
};

// Same order as kFactoryItems. The raw-data description comes from the caller.
static const TestText kTextLabelledSet[kFactoryItemCount] = {
    {L"Version", nullptr},
    {L"Vendor ID", L"Kavrol = 0."},
    {L"Device ID", nullptr},
    {L"Compatibility ID",
     L"The compatibility ID is used to recognize hardware changes that are important for device specific "
     L"software."},
    {L"Parent Device ID",
     L"The parent device ID indicates the device, from which the actual device was derived (e.g. at a customer "
     L"specific variant of a standard device). FFFFFFFFh means no parent."},
    {L"Parent Compatibility ID",
     L"The compatibility ID indicates the device, from which the actual device was derived (e.g. at a customer "
     L"specific variant of a standard device). FFFFh means no parent."},
    {L"Hardware revision", nullptr},
    {L"Serial number", nullptr},
    {L"Model number", nullptr},
    {L"Raw data", nullptr},
};

static const TestText kSlideInSet[kFactoryItemCount] = {
    {L"Version", L"Factory settings version of slide-in drive."},
    {L"Vendor ID", L"Vendor ID of slide-in drive. Kavrol = 0."},
    {L"Device ID", L"Device ID of slide-in drive."},
    {L"Compatibility ID",
     L"Compatibility ID of slide-in drive. The compatibility ID is used to recognize hardware changes that are "
     L"important for device specific software."},
    {L"Parent Device ID",
     L"Parent device ID of slide-in drive. The parent device ID indicates the device, from which the actual "
     L"device was derived (e.g. at a customer specific variant of a standard device). FFFFFFFFh means no "
     L"parent."},
    {L"Parent Compatibility ID",
     L"Parent compatibility ID of slide-in drive. The compatibility ID indicates the device, from which the "
     L"actual device was derived (e.g. at a customer specific variant of a standard device). FFFFh means no "
     L"parent."},
    {L"Hardware revision", L"Hardware revision of slide-in drive."},
    {L"Serial number", L"Serial number of slide-in drive."},
    {L"Model number", L"Model number of slide-in drive."},
    {L"Raw data", L"Complete factory settings of slide-in drive."},
};

struct TestTextIds {
    UINT label;
    UINT description;  // 0: none
};

static const TestTextIds kMemoryModuleSet[kFactoryItemCount] = {
    {117, 0},    // "Version"
    {119, 120},  // "Vendor ID", "Kavrol = 0."
    {121, 0},    // "Device ID"
    {122, 123},  // "Compatibility ID"
    {124, 125},  // "Parent Device ID"
    {126, 127},  // "Parent Compatibility ID"
    {128, 0},    // "Hardware revision"
    {129, 0},    // "Serial number"
    {130, 0},    // "Model number"
    {131, 132},  // "Raw data", "Complete factory settings"
};

const wchar_t kNoDescription[] = L"";

// Bytes of a memory module's raw factory data; 0 leaves the "Raw data" test out.
UINT MemoryModuleRawDataSize(int module, DWORD deviceType)
{
    if (module == 2)
        return deviceType == kPanevoxP91 ? 0 : 128;
    if (deviceType == kCorvaboxC90)
        return 128;
    if (deviceType == kVoltadeckV70 || deviceType == kCorvaboxC80 || deviceType == kCorvaboxC81)
        return 512;
    return 0;
}

UINT FactorySelectorOf(const FactoryItem& item, const ModuleSelectors& selectors)
{
    switch (item.selector) {
    case FactorySelector::kVersion:
        return selectors.version;
    case FactorySelector::kRawData:
        return selectors.rawData;
    default:
        return selectors.base + item.offset;
    }
}

// The outcome of one read: the result text and format, or the error code.
struct ReadResult {
    bool ok = false;
    DWORD error = ERROR_SUCCESS;
    std::wstring text;
    int format = kFmtString;
};

ReadResult Failed() { return ReadResult{false, ::GetLastError(), std::wstring(), kFmtString}; }

ReadResult Succeeded(std::wstring text, int format) { return ReadResult{true, ERROR_SUCCESS, std::move(text), format}; }

ReadResult ReadSelectorText(ixa::SelectorRead read, UINT selector)
{
    LibraryText<kTextBytes> text;
    if (!read || !read(selector, text.text, text.kBytes))
        return Failed();
    return Succeeded(text.text, kFmtString);
}

ReadResult ReadStringText(ixa::SelectorStringRead read, UINT selector)
{
    LibraryText<kTextBytes> text;
    if (!read || !read(selector, text.text, text.kBytes))
        return Failed();
    return Succeeded(text.text, kFmtString);
}

ReadResult ReadHex32(ixa::SelectorRead read, UINT selector)
{
    UINT32 value = 0;
    if (!read || !read(selector, &value, sizeof value))
        return Failed();
    return Succeeded(Format(L"%08X", static_cast<unsigned>(value)), kFmtHex);
}

ReadResult ReadHex16(ixa::SelectorRead read, UINT selector)
{
    UINT16 value = 0;
    if (!read || !read(selector, &value, sizeof value))
        return Failed();
    return Succeeded(Format(L"%04X", static_cast<unsigned>(value)), kFmtHex);
}

ReadResult ReadRawData(ixa::SelectorRead read, UINT selector, UINT size)
{
    std::vector<unsigned char> bytes(size, 0);
    if (!read || !read(selector, bytes.data(), size))
        return Failed();
    std::wstring dump;
    FormatRawData(bytes.data(), bytes.size(), dump);
    return Succeeded(dump, kFmtRaw);
}

ReadResult ReadFactoryItem(const DeviceInterface& device, const FactoryItem& item, const ModuleSelectors& selectors,
                           bool hardwareRevisionAsString)
{
    const UINT selector = FactorySelectorOf(item, selectors);
    switch (item.read) {
    case FactoryRead::kHex32:
        return ReadHex32(device.IxaGetFactoryValue, selector);
    case FactoryRead::kHex16:
        return ReadHex16(device.IxaGetFactoryValue, selector);
    case FactoryRead::kValueText:
        return ReadSelectorText(device.IxaGetFactoryValue, selector);
    case FactoryRead::kStringText:
        return ReadStringText(device.IxaGetFactoryStringW, selector);
    case FactoryRead::kHardwareRevision:
        return hardwareRevisionAsString ? ReadStringText(device.IxaGetFactoryStringW, selector)
                                        : ReadSelectorText(device.IxaGetFactoryValue, selector);
    case FactoryRead::kRawData:
        return ReadRawData(device.IxaGetFactoryValue, selector, selectors.rawDataSize);
    }
    return ReadResult{};
}

}  // namespace

bool CTest::IsModulePresent(UINT presenceSelector)
{
    const ixa::SelectorRead read = m_device.IxaGetHardwareValue;
    UINT32 present = 0;
    return read && read(presenceSelector, &present, sizeof present) && present != 0;
}

void CTest::BeginFactoryTest(const FactorySettingsForm& form, size_t item)
{
    switch (form.labels) {
    case FactoryLabelSet::kMemoryModule: {
        const TestTextIds& ids = kMemoryModuleSet[item];
        if (ids.description == 0)
            m_writer->BeginTest(ids.label);
        else
            m_writer->BeginTest(ids.label, ids.description);
        return;
    }
    case FactoryLabelSet::kSlideIn: {
        const TestText& text = kSlideInSet[item];
        m_writer->BeginTest(text.label, text.description ? text.description : kNoDescription);
        return;
    }
    case FactoryLabelSet::kTextLabelled: {
        const TestText& text = kTextLabelledSet[item];
        const wchar_t* description = item == kItemRawData ? form.rawDataDescription : text.description;
        m_writer->BeginTest(text.label, description ? description : kNoDescription);
        return;
    }
    }
}

void CTest::WriteFactorySettings(const ModuleSelectors& selectors, const FactorySettingsForm& form)
{
    for (size_t item = 0; item < kFactoryItemCount; ++item) {
        if (item == kItemVersion && !form.withVersion)
            continue;
        if (item == kItemRawData && !form.withRawData)
            continue;
        BeginFactoryTest(form, item);
        const ReadResult result =
            ReadFactoryItem(m_device, kFactoryItems[item], selectors, form.hardwareRevisionAsString);
        if (result.ok)
            WritePassed(result.text, result.format);
        else
            WriteErrorResult(result.error);
        m_writer->EndTest();
    }
}

void CTest::WriteFactorySettings(const ModuleSelectors& selectors, const wchar_t* rawDataDescription)
{
    FactorySettingsForm form;
    form.labels = FactoryLabelSet::kTextLabelled;
    form.rawDataDescription = rawDataDescription;
    WriteFactorySettings(selectors, form);
}

void CTest::WriteFactorySettings(SlideInSlot slot)
{
    const ModuleSelectors* selectors = SlideInDriveSelectors(slot.number);
    if (!selectors)
        return;
    FactorySettingsForm form;
    form.labels = FactoryLabelSet::kSlideIn;
    WriteFactorySettings(*selectors, form);
}

void CTest::WriteFactorySettings(IfBoardSlot slot, const wchar_t* rawDataDescription)
{
    const ModuleSelectors* selectors = IfBoardSelectors(slot.number);
    if (!selectors)
        return;
    WriteFactorySettings(*selectors, rawDataDescription);
}

void CTest::WriteFactorySettings(MemoryModule module)
{
    const ModuleSelectors* moduleSelectors = MemoryModuleSelectors(module.number);
    if (!moduleSelectors)
        return;
    PassDeviceTypeGate();  // fills the device type cache when it is still empty
    const DWORD deviceType = m_device.deviceType;

    ModuleSelectors selectors = *moduleSelectors;
    selectors.rawDataSize = MemoryModuleRawDataSize(module.number, deviceType);
    FactorySettingsForm form;
    form.labels = FactoryLabelSet::kMemoryModule;
    form.hardwareRevisionAsString = true;
    form.withVersion = deviceType != kPanevoxP91;
    form.withRawData = selectors.rawDataSize != 0;
    WriteFactorySettings(selectors, form);
}

void CTest::WriteStatisticsCounter(const wchar_t* label, const wchar_t* description, UINT selector)
{
    m_writer->BeginTest(label, description ? description : kNoDescription);
    const ixa::SelectorRead read = m_device.IxaGetStatisticsValue;
    UINT32 value = 0;
    if (read && read(selector, &value, sizeof value)) {
        WritePassed(Format(L"%u", static_cast<unsigned>(value)), kFmtDec);
        m_writer->EndTest();
        return;
    }
    DWORD error = ::GetLastError();
    // Error 87 also comes from counters that are only 16 bits wide.
    if (error == ERROR_INVALID_PARAMETER && read) {
        UINT16 narrow = 0;
        if (read(selector, &narrow, sizeof narrow)) {
            WritePassed(Format(L"%u", static_cast<unsigned>(narrow)), kFmtDec);
            m_writer->EndTest();
            return;
        }
        error = ::GetLastError();
    }
    WriteErrorResult(error);
    m_writer->EndTest();
}

void CTest::WriteStatistics(const wchar_t* cyclesLabel, const wchar_t* hoursLabel, UINT cyclesSelector,
                            UINT hoursSelector)
{
    WriteStatisticsCounter(cyclesLabel, nullptr, cyclesSelector);
    WriteStatisticsCounter(hoursLabel, nullptr, hoursSelector);
}

void CTest::WriteStatistics(const ModuleStatistics& statistics)
{
    WriteStatistics(statistics.cyclesLabel, statistics.hoursLabel, statistics.cyclesSelector,
                    statistics.hoursSelector);
}

void CTest::WriteCounter16(const wchar_t* label, UINT selector)
{
    m_writer->BeginTest(label, kNoDescription);
    const ixa::SelectorRead read = m_device.IxaGetStatisticsValue;
    UINT16 value = 0;
    if (read && read(selector, &value, sizeof value))
        WritePassed(Format(L"%u", static_cast<unsigned>(value)), kFmtDec);
    else
        WriteErrorResult(::GetLastError());
    m_writer->EndTest();
}

void CTest::WriteStatistics16(const wchar_t* cyclesLabel, const wchar_t* hoursLabel, UINT cyclesSelector,
                              UINT hoursSelector)
{
    WriteCounter16(cyclesLabel, cyclesSelector);
    WriteCounter16(hoursLabel, hoursSelector);
}

void CTest::WriteStatistics16(const ModuleStatistics& statistics)
{
    WriteStatistics16(statistics.cyclesLabel, statistics.hoursLabel, statistics.cyclesSelector,
                      statistics.hoursSelector);
}

void CTest::WriteFirmwareInfo(UINT versionSelector, UINT bootAreaSelector)
{
    m_writer->BeginTest(L"FPGA firmware version", kNoDescription);
    const ReadResult version = ReadStringText(m_device.IxaGetFirmwareStringW, versionSelector);
    if (version.ok)
        WritePassed(version.text, kFmtString);
    else
        WriteErrorResult(version.error);
    m_writer->EndTest();

    m_writer->BeginTest(L"Boot mode", kNoDescription);
    const ixa::SelectorRead read = m_device.IxaGetFirmwareValue;
    UINT32 area = 0;
    // Only a return value of exactly 1 counts as a successful read.
    const int result = read ? read(bootAreaSelector, &area, sizeof area) : 0;
    if (result == 1)
        WritePassed(area == 1 ? L"High area" : L"Low area", kFmtString);
    else
        WriteErrorResult(::GetLastError());
    m_writer->EndTest();
}

void CTest::WriteFirmwareInfo(const ModuleFirmware& firmware)
{
    WriteFirmwareInfo(firmware.versionSelector, firmware.bootAreaSelector);
}

bool CTest::ReadSensor(UINT temperatureSelector, UINT alarmSelector, SensorReading& reading)
{
    const ixa::SelectorRead readTemperature = m_device.IxaGetTemperature;
    reading = SensorReading();
    if (!readTemperature || !readTemperature(temperatureSelector, &reading.degrees, sizeof reading.degrees))
        return false;

    const ixa::SelectorRead readAlarm = m_device.IxaGetAlarm;
    if (alarmSelector == kNoAlarmSelector || !readAlarm)
        return true;
    if (!readAlarm(alarmSelector, &reading.alarm, sizeof reading.alarm))
        reading.alarm = 0;
    return true;
}

void CTest::WriteSensorTest(const wchar_t* label, const wchar_t* description, const SensorReading& reading)
{
    m_writer->BeginTest(label, description ? description : kNoDescription);
    m_writer->WriteResult(Format(L"%d", static_cast<int>(reading.degrees)).c_str(),
                          reading.alarm != 0 ? kAlarm : kPassed, kFmtDegreeCentigrade);
    m_writer->EndTest();
}

void CTest::WriteSensorTemperature(UINT temperatureSelector, UINT alarmSelector, const wchar_t* label,
                                   const wchar_t* description)
{
    SensorReading reading;
    if (ReadSensor(temperatureSelector, alarmSelector, reading))
        WriteSensorTest(label, description, reading);
}

void CTest::WriteSensors(UINT temperatureSelector, UINT alarmSelector, const wchar_t* subCategory)
{
    for (UINT sensor = 0; sensor < 4; ++sensor) {
        const UINT alarm = alarmSelector == kNoAlarmSelector ? kNoAlarmSelector : alarmSelector + sensor;
        SensorReading reading;
        if (!ReadSensor(temperatureSelector + sensor, alarm, reading))
            continue;
        if (subCategory) {
            m_writer->BeginSubCategory(subCategory);
            subCategory = nullptr;
        }
        WriteSensorTest(Format(L"Sensor %u", sensor + 1).c_str(), kNoDescription, reading);
    }
}

void CTest::WriteSensorTemperatures(UINT temperatureSelector, UINT alarmSelector)
{
    WriteSensors(temperatureSelector, alarmSelector, nullptr);
}

void CTest::WriteSensorTemperatures(const ModuleSensors& sensors)
{
    WriteSensors(sensors.temperatureSelector, sensors.alarmSelector, nullptr);
}

void CTest::WriteSensorTemperatures(const ModuleSensors& sensors, const wchar_t* subCategory)
{
    WriteSensors(sensors.temperatureSelector, sensors.alarmSelector, subCategory);
}

}  // namespace kv
