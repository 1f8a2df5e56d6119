#include "groups/modules/fan_kits_group.h"

#include "device/text_helpers.h"
#include "groups/device_types.h"

namespace kv {

// One fan kit: its presence, blocks and fans. The fans' speed selectors
// (IxaGetHardwareValue, 2 bytes) and alarm selectors (IxaGetAlarm, 4 bytes) are consecutive.
struct FanKit {
    const wchar_t* category;
    UINT presenceSelector;  // IxaGetHardwareValue
    const ModuleSelectors& selectors;
    const ModuleStatistics& statistics;
    const wchar_t* fanLabelFormat;
    UINT firstSpeedSelector;
    UINT firstAlarmSelector;
    bool fourthFanByType;  // fan 4 only on the types of kFourthCaseFanTypes
};

namespace {

// The models with fan kits.
const DWORD kFanKitTypes[] = {kCorvaboxC90, kPanevoxP91, kCorvaboxC92, kPanevoxP93};
// The models whose case fan kit has a fourth fan.
const DWORD kFourthCaseFanTypes[] = {kCorvaboxC40, kPanevoxP50, kCorvaboxC90, kPanevoxP91};

// Case fan kit first: it opens the group when fitted.
//   category        presence  blocks                                       fans           speed alarm fan 4 by type
const FanKit kFanKits[] = {
    {L"Case Fan Kit", 61, kCaseFanKitSelectors, kCaseFanKitStatistics, L"Case fan %u", 6,  4,  true},
    {L"Bus Fan Kit",  66, kBusFanKitSelectors,  kBusFanKitStatistics,  L"Bus fan %u",  67, 41, false},
};

const wchar_t kGroupName[] = L"Fan Kits";
const wchar_t kGroupDescription[] = L"Contains tests of fan kit related items like factory settings or statistics.";
const wchar_t kRawDataDescription[] = L"Complete factory settings of fan kit.";

const UINT kFanCount = 4;

}  // namespace

void CTestFanKit::RunTests()
{
    if (!PassDeviceTypeGate() || !IsOneOf(m_device.deviceType, kFanKitTypes))
        return;
    bool anyKit = false;
    for (const FanKit& kit : kFanKits) {
        if (IsModulePresent(kit.presenceSelector)) {
            anyKit = true;
            break;
        }
    }
    if (!anyKit)
        return;

    // The presence values are read again while writing.
    bool groupOpen = false;
    for (const FanKit& kit : kFanKits) {
        if (!IsModulePresent(kit.presenceSelector))
            continue;
        if (groupOpen)
            Writer().BeginCategory(kit.category, kManualSubCats);
        else
            Writer().BeginGroup(kGroupName, kGroupDescription, kit.category, kManualSubCats);
        groupOpen = true;
        WriteKit(kit);
    }
    if (groupOpen)
        Writer().EndGroup();
}

void CTestFanKit::WriteKit(const FanKit& kit)
{
    Writer().BeginSubCategory(L"Factory Settings");
    WriteFactorySettings(kit.selectors, kRawDataDescription);
    Writer().BeginSubCategory(L"Statistics");
    WriteStatistics(kit.statistics);
    Writer().BeginSubCategory(L"Fan Speeds");
    WriteFanSpeeds(kit);
}

void CTestFanKit::WriteFanSpeeds(const FanKit& kit)
{
    UINT fans = kFanCount;
    if (kit.fourthFanByType && !IsOneOf(m_device.deviceType, kFourthCaseFanTypes))
        fans = kFanCount - 1;
    for (UINT fan = 0; fan < fans; ++fan)
        WriteFanSpeed(Format(kit.fanLabelFormat, fan + 1).c_str(), kit.firstSpeedSelector + fan,
                      kit.firstAlarmSelector + fan);
}

void CTestFanKit::WriteFanSpeed(const wchar_t* label, UINT speedSelector, UINT alarmSelector)
{
    const ixa::SelectorRead readSpeed = m_device.IxaGetHardwareValue;
    UINT16 rpm = 0;
    if (!readSpeed || !readSpeed(speedSelector, &rpm, sizeof rpm))
        return;
    UINT32 alarm = 0;
    const ixa::SelectorRead readAlarm = m_device.IxaGetAlarm;
    if (!readAlarm || !readAlarm(alarmSelector, &alarm, sizeof alarm))
        alarm = 0;

    Writer().BeginTest(label, nullptr);
    Writer().WriteResult(Format(L"%u", static_cast<unsigned>(rpm)).c_str(), alarm != 0 ? kAlarm : kPassed, kFmtRpm);
    Writer().EndTest();
}

}  // namespace kv
