#include "groups/units/pc_module_group.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

// The PC module group's labels and failure rules of the shared module tests.
const ModuleForm kPcModuleForm = {
    115,   // "FPGA"
    true,  // an unreadable boot area or update counter shows its error text
    111,   // "Factory Settings"
    VersionFailure::kNotAvailableOrError,
    RawSizeFailure::kNotAvailableOn87,
    165,  // "Statistics"
    {
        {{Id(137), Id(138)}, {Id(139), Id(140)}},  // set 0: "Power-on cycles", "Power-on hours"
        {{Id(166), Id(421)}, {Id(167), Id(422)}},  // set 1: "Backlight-on cycles", "Backlight-on hours"
        {{Id(137), Id(138)}, {Id(139), Id(140)}},  // set 2: "Power-on cycles", "Power-on hours"
        {{Id(168), Id(419)}, {Id(169), Id(420)}},  // set 3: "On-battery cycles", "On-battery hours"
    },
    149,  // "Temperatures"
    150,  // "Sensor %d"
};

const UINT kIdsGroupName = 109;         // "%s"
const UINT kIdsGroupDescription = 110;  // "Contains tests of \"%s\" related items ..."
const UINT kIdsFirstModuleName = 174;   // 174 to 187: module index 0 to 13
const BYTE kNamedModules = 14;
const UINT kIdsNumberedModule = 188;  // "Module %d"

// IxaGetModuleFactoryValue selector 0: the device ID, which also tells the module is there.
const UINT kFactoryDeviceId = 0;

// IxaGetModuleFanValue, sub-index = fan 0 to 3.
const UINT kFans = 4;
const UINT kFanSpeed = 0;        // 2 bytes, rpm
const UINT kFanAlarm = 1;        // 4 bytes, nonzero = alarm
const UINT kFanStatistics = 1000;  // 16 bytes: operating quarter hours, power cycles,
                                   // quarter hours below the log limit and below the alarm limit
const UINT kFanStatisticsFields = 4;

const UINT kHardwareReadyRelay = 0;  // IxaGetModuleHardwareValue, 4 bytes, nonzero = closed

}  // namespace

std::wstring PcModuleName(BYTE module)
{
    if (module < kNamedModules)
        return LoadResourceString(kIdsFirstModuleName + module);
    return Format(LoadResourceString(kIdsNumberedModule).c_str(), static_cast<int>(module));
}

void CTestPcModule::RunTests()
{
    UINT32 deviceId = 0;
    if (!Call(m_device.IxaGetModuleFactoryValue, kFactoryDeviceId, static_cast<UINT>(m_module), 0u, &deviceId,
              static_cast<UINT>(sizeof deviceId)))
        return;

    const std::wstring name = PcModuleName(m_module);
    Writer().BeginGroup(Format(LoadResourceString(kIdsGroupName).c_str(), name.c_str()).c_str(),
                        Format(LoadResourceString(kIdsGroupDescription).c_str(), name.c_str()).c_str(), nullptr,
                        kManualSubCats);
    const ModuleReader reader = ModuleReader::PcModule(m_device, m_module);
    ModuleTests module(m_device, Writer(), reader, kPcModuleForm);
    module.WriteFpga();
    module.WriteFactorySettings();
    module.WriteStatistics();
    WriteFans(module);
    module.WriteTemperatures();
    WriteReadyRelay(module);
    Writer().EndGroup();
}

void CTestPcModule::WriteFans(UnitWriter& out)
{
    bool categoryOpen = false;
    for (UINT fan = 0; fan < kFans; ++fan) {
        UINT16 rpm = 0;
        if (!Call(m_device.IxaGetModuleFanValue, kFanSpeed, static_cast<UINT>(m_module), fan, &rpm,
                  static_cast<UINT>(sizeof rpm)))
            continue;
        if (!categoryOpen)
            Writer().BeginCategoryManual(133);  // "Fans"
        categoryOpen = true;
        Writer().BeginSubCategory(Format(LoadResourceString(134).c_str(), static_cast<int>(fan + 1)).c_str());
        UINT32 alarm = 0;
        if (!Call(m_device.IxaGetModuleFanValue, kFanAlarm, static_cast<UINT>(m_module), fan, &alarm,
                  static_cast<UINT>(sizeof alarm)))
            alarm = 0;
        out.Begin(Id(135), Id(136));  // "Current", "Current fan speed"
        out.Result(Format(L"%d", static_cast<int>(rpm)), kFmtRpm, alarm ? kAlarm : kPassed);
        out.End();
        WriteFanStatistics(out, fan);
    }
}

void CTestPcModule::WriteFanStatistics(UnitWriter& out, UINT fan)
{
    UINT32 fields[kFanStatisticsFields] = {};
    if (!Call(m_device.IxaGetModuleFanValue, kFanStatistics, static_cast<UINT>(m_module), fan, fields,
              static_cast<UINT>(sizeof fields)))
        return;
    const UINT32 operating = fields[0];
    const UINT32 cycles = fields[1];
    const UINT32 belowLog = fields[2];
    const UINT32 belowAlarm = fields[3];
    // An unsigned counter: "%u", so a count beyond 2^31 is not shown negative.
    out.Passed(Id(137), Id(138), Format(L"%u", static_cast<unsigned>(cycles)), kFmtDec);  // "Power-on cycles"
    out.Passed(Id(139), Id(140), QuarterHourText(operating), kFmtString);                  // "Power-on hours"
    out.Passed(Id(145), Id(146), QuarterHourText(belowLog), kFmtString);                   // "Log"
    out.Passed(Id(147), Id(148), QuarterHourText(belowAlarm), kFmtString);                 // "Alarm"
}

void CTestPcModule::WriteReadyRelay(UnitWriter& out)
{
    UINT32 closed = 0;
    if (!Call(m_device.IxaGetModuleHardwareValue, kHardwareReadyRelay, static_cast<UINT>(m_module), 0u, &closed,
              static_cast<UINT>(sizeof closed)))
        return;
    Writer().BeginCategory(112);  // "Ready relay"
    out.Passed(Id(113), Id(114), closed ? L"Closed" : L"Open", kFmtString);  // "State"
}

}  // namespace kv
