#include "groups/units/panel_module_group.h"

#include "device/library_text.h"
#include "device/text_helpers.h"

#include <cmath>

namespace kv {

// One value of the VLK4 link statistics (IxaGetStatisticsValue, 32-bit float).
struct Vlk4Value {
    UINT label;
    UINT selector;
    bool decibels;  // "%.2f dB", else "%.2f"
};

// A block of the VLK4 link statistics, written when its firmware version
// (IxaGetFirmwareStringW) can be read.
struct Vlk4Block {
    UINT versionSelector;
    Vlk4Value values[8];
    size_t valueCount;
};

namespace {

// ---- Rules by panel index (there are no device-type rules here) ----

// Panel 15 has only module 0, and neither equalizer nor the legacy factory
// settings, counters, temperature and fan.
const BYTE kLastPanel = 15;
const BYTE kPanelModule = 0;      // the panel itself: status, fan, USB, display, keys, LEDs
const BYTE kLinkModule = 1;       // the panel link: link tests on the legacy way
const BYTE kHdBaseTModule = 4;    // VLK4 link statistics on the firmware way

// The panel module group's labels and failure rules of the shared module tests.
const ModuleForm kPanelModuleForm = {
    203,    // "FPGA"
    false,  // "FPGA booted from" and "FPGA update counter" only when read
    202,    // "Factory Settings"
    VersionFailure::kLeftOut,
    RawSizeFailure::kError,
    205,  // "Statistics"
    {
        {{Id(137), Id(138)}, {Id(139), Id(140)}},  // set 0: "Power-on cycles", "Power-on hours"
        {{Id(166), Id(421)}, {Id(167), Id(422)}},  // set 1: "Backlight-on cycles", "Backlight-on hours"
        {{Id(137), Id(138)}, {Id(139), Id(140)}},  // set 2: "Power-on cycles", "Power-on hours"
        {{Id(137), Id(138)}, {Id(139), Id(140)}},  // set 3: "Power-on cycles", "Power-on hours"
    },
    204,  // "Temperatures"
    208,  // "Sensor %d"
};

// The string table's wording of the shared panel tests.
const PanelTexts kPanelModuleTexts = {
    Id(211),  // "Linked"
    Id(212),  // "Locked"
    Id(213),  // "Lock time"
    Id(239),  // "Type"
    Id(240),  // "FPGA version"
    {
        {Id(119), Id(120)},  // "Vendor ID", "Kavrol = 0."
        {Id(121), kNoText},  // "Device ID"
        {Id(122), Id(123)},  // "Compatibility ID"
        {Id(128), kNoText},  // "Hardware revision"
        {Id(129), kNoText},  // "Serial number"
        {Id(130), kNoText},  // "Model number"
        {Id(131), Id(132)},  // "Raw data", "Complete factory settings"
    },
    {kNoText, kNoText},  // no display type test
    {Id(220), kNoText},  // "Resolution"
    {Id(221), kNoText},  // "Brightness"
    {Id(222), kNoText},  // "Default brightness"
    {Id(223), kNoText},  // "Equalizer"
    {Id(224), Id(225)},  // "Equalizer auto value"
    {Id(230), Id(231)},  // keys: "Count"
    {Id(232), Id(233)},  // "Enabled"
    {Id(234), Id(235)},  // "Switches"
    {Id(236), Id(237)},  // "Matrix"
    {Id(226), Id(227)},  // LEDs: "Count"
    {Id(228), Id(229)},  // "Matrix, layer %d"
};

const UINT kIdsFirstModuleName = 190;  // 190 to 194: module 0 to 4
const BYTE kNamedModules = 5;
const UINT kIdsNumberedModule = 189;  // "Panel module %d"
const UINT kIdsGroupName = 195;       // "%s %d"
const UINT kIdsGroupDescription = 196;

const UINT kFactoryDeviceId = 0;   // IxaGetPanelModuleFactoryValue: the module answers
const UINT kFirmwareFpgaId = 1001;  // IxaGetPanelModuleFirmwareValue: the module has FPGA firmware

// Legacy counters: IxaGetStatisticsValue, read once as 32 bits.
struct LegacyCounter {
    UINT label;
    UINT description;
    UINT selector;
};
const LegacyCounter kLegacyCounters[] = {
    {166, 421, 3},  // "Backlight-on cycles"
    {167, 422, 4},  // "Backlight-on hours"
};

// USB ports 0 to 4: IxaGetHardwareValue 80 to 84, labels 215 to 219.
const UINT kUsbPorts = 5;
const UINT kHardwareFirstUsbPort = 80;
const UINT kIdsFirstUsbPort = 215;

const Vlk4Block kVlk4Blocks[] = {
    {36,
     {{242, 30, true}, {243, 31, true}, {244, 32, true}, {245, 33, true},  // "Mean square error (Channel A)" to D
      {246, 38, false}},                                                   // "Retransmission rate"
     5},
    {35,
     {{242, 26, true}, {243, 27, true}, {244, 28, true}, {245, 29, true},  // "Mean square error (Channel A)" to D
      {247, 34, false}, {248, 35, false}, {249, 36, false}, {250, 37, false}},  // "Maximum error (Channel A)" to D
     8},
};
const UINT kIdsVlk4Category = 206;     // "VLK4 Statisitcs"
const UINT kIdsVlk4SubCategory = 209;  // "Receiver"
const UINT kIdsVlk4Version = 241;      // "Firmware version"

const UINT kTextBytes = 512;
using DeviceText = LibraryText<kTextBytes>;

}  // namespace

std::wstring PanelModuleName(BYTE module)
{
    if (module < kNamedModules)
        return LoadResourceString(kIdsFirstModuleName + module);
    return Format(LoadResourceString(kIdsNumberedModule).c_str(), static_cast<int>(module));
}

// One selection per object: every panel read below refers to this panel.
void CTestPanelModule::RunTests()
{
    if (!SelectPresentPanel(m_device, m_panel))
        return;
    if (m_panel == kLastPanel && m_module != kPanelModule)
        return;

    const ModuleReader reader = ModuleReader::PanelModule(m_device, m_panel, m_module);
    UINT32 deviceId = 0;
    if (reader.Factory(kFactoryDeviceId, &deviceId, sizeof deviceId)) {
        WriteModulePath();
        return;
    }
    DeviceText fpgaId;
    if (reader.Firmware(kFirmwareFpgaId, fpgaId.text, fpgaId.kBytes)) {
        WriteFirmwarePath();
        return;
    }
    if (m_module == kPanelModule)
        WriteLegacyPanel();
    else if (m_module == kLinkModule)
        WriteLegacyLink();
}

void CTestPanelModule::BeginModuleGroup(const wchar_t* subCategory)
{
    const std::wstring name = PanelModuleName(m_module);
    const int panel = m_panel;
    Writer().BeginGroup(Format(LoadResourceString(kIdsGroupName).c_str(), name.c_str(), panel).c_str(),
                        Format(LoadResourceString(kIdsGroupDescription).c_str(), name.c_str(), panel).c_str(),
                        nullptr, subCategory);
}

// An unlinked panel still shows everything else.
void CTestPanelModule::WriteModulePath()
{
    const ModuleReader reader = ModuleReader::PanelModule(m_device, m_panel, m_module);
    ModuleTests module(m_device, Writer(), reader, kPanelModuleForm);
    PanelTests panel(m_device, Writer(), kPanelModuleTexts);
    BeginModuleGroup(kManualSubCats);
    if (m_module == kPanelModule) {
        Writer().BeginCategory(197);  // "Status"
        panel.WriteStatus(false);
    }
    module.WriteFpga();
    module.WriteFactorySettings();
    module.WriteStatistics();
    module.WriteTemperatures();
    if (m_module == kPanelModule) {
        WriteFan(panel);
        WriteUsbStates(panel);
        WritePanelOperation(panel);
    }
    Writer().EndGroup();
}

void CTestPanelModule::WriteFirmwarePath()
{
    const ModuleReader reader = ModuleReader::PanelModule(m_device, m_panel, m_module);
    ModuleTests module(m_device, Writer(), reader, kPanelModuleForm);
    PanelTests panel(m_device, Writer(), kPanelModuleTexts);
    BeginModuleGroup(kManualSubCats);
    module.WriteFpga();
    if (m_module == kHdBaseTModule)
        WriteVlk4Statistics(panel);
    Writer().EndGroup();
}

void CTestPanelModule::WriteLegacyPanel()
{
    PanelTests panel(m_device, Writer(), kPanelModuleTexts);
    BeginModuleGroup(kManualSubCats);
    Writer().BeginCategory(197);  // "Status"
    panel.WriteStatus(false);
    if (m_panel != kLastPanel) {
        Writer().BeginCategory(202);  // "Factory Settings"
        panel.WriteFactorySettings();
        Writer().BeginCategory(205);  // "Statistics"
        WriteLegacyStatistics(panel);
        Writer().BeginCategory(204);             // "Temperatures"
        panel.WriteTemperature(LoadResourceString(238));  // "Panel"
        WriteFan(panel);
    }
    WritePanelOperation(panel);
    Writer().EndGroup();
}

// The link tests sit in the writer's placeholder category and subcategory.
void CTestPanelModule::WriteLegacyLink()
{
    PanelTests panel(m_device, Writer(), kPanelModuleTexts);
    BeginModuleGroup(nullptr);
    panel.WriteLink();
    Writer().EndGroup();
}

void CTestPanelModule::WritePanelOperation(PanelTests& out)
{
    Writer().BeginCategory(199);  // "Display Settings"
    const bool equalizer = m_panel != kLastPanel;
    out.WriteDisplaySettings(false, [equalizer] { return equalizer; });
    Writer().BeginCategory(200);  // "Keys"
    out.WriteKeys();
    Writer().BeginCategory(201);  // "LEDs"
    out.WriteLeds([] { return false; });
}

void CTestPanelModule::WriteLegacyStatistics(PanelTests& out)
{
    for (const LegacyCounter& counter : kLegacyCounters) {
        out.Begin(Id(counter.label), Id(counter.description));
        UINT32 value = 0;
        if (Call(m_device.IxaGetStatisticsValue, counter.selector, &value, static_cast<UINT>(sizeof value)))
            out.Result(Format(L"%u", static_cast<unsigned>(value)), kFmtDec);
        else
            out.Error(::GetLastError());
        out.End();
    }
}

// A fan that cannot be read is left out.
void CTestPanelModule::WriteFan(PanelTests& out)
{
    const PanelFanReading fan = ReadPanelFan(m_device);
    if (!fan.ok)
        return;
    Writer().BeginCategory(198);  // "Fans"
    out.Begin(Id(214));           // "Fan"
    out.Result(Format(L"%u", static_cast<unsigned>(fan.rpm)), kFmtRpm, fan.alarm ? kAlarm : kPassed);
    out.End();
}

// Without port 0 there is no category, whatever the other ports say.
void CTestPanelModule::WriteUsbStates(PanelTests& out)
{
    for (UINT port = 0; port < kUsbPorts; ++port) {
        UINT32 enabled = 0;
        if (!Call(m_device.IxaGetHardwareValue, kHardwareFirstUsbPort + port, &enabled,
                  static_cast<UINT>(sizeof enabled))) {
            if (port == 0)
                return;
            continue;
        }
        if (port == 0)
            Writer().BeginCategory(207);  // "USB Enable States"
        out.Passed(Id(kIdsFirstUsbPort + port), kNoText, enabled ? L"Enabled" : L"Disabled", kFmtEnableDisable);
    }
}

void CTestPanelModule::WriteVlk4Statistics(PanelTests& out)
{
    bool categoryOpen = false;
    for (const Vlk4Block& block : kVlk4Blocks)
        categoryOpen = WriteVlk4Block(out, block, categoryOpen) || categoryOpen;
}

// A second block opens a second "Receiver" subcategory in the same category.
bool CTestPanelModule::WriteVlk4Block(PanelTests& out, const Vlk4Block& block, bool categoryOpen)
{
    DeviceText version;
    if (!Call(m_device.IxaGetFirmwareStringW, block.versionSelector, version.text, version.kBytes))
        return false;
    if (categoryOpen)
        Writer().BeginSubCategory(kIdsVlk4SubCategory);
    else
        Writer().BeginCategory(kIdsVlk4Category, kIdsVlk4SubCategory);
    out.Passed(Id(kIdsVlk4Version), kNoText, version.text, kFmtString);
    for (size_t i = 0; i < block.valueCount; ++i) {
        const Vlk4Value& value = block.values[i];
        float reading = 0.0f;
        // A reading that is no number (NaN, infinite) counts as one that could not be read.
        if (!Call(m_device.IxaGetStatisticsValue, value.selector, &reading, static_cast<UINT>(sizeof reading)) ||
            !std::isfinite(reading))
            continue;
        out.Passed(Id(value.label), kNoText, value.decibels ? DecibelText(reading) : FloatText(reading),
                   kFmtString);
    }
    return true;
}

}  // namespace kv
