#include "groups/modules/if_boards_group.h"

#include "device/text_helpers.h"
#include "groups/device_types.h"

namespace kv {
namespace {

// The models with IF slots.
const DWORD kIfTypes[] = {kVoltadeckV70, kCorvaboxC80, kCorvaboxC81, kCorvaboxC90,
                          kPanevoxP91,   kCorvaboxC92, kPanevoxP93};
// The models whose IF sensors are shown.
const DWORD kIfTemperatureTypes[] = {kVoltadeckV70, kCorvaboxC80, kCorvaboxC81};

const ModuleSlot kSlots[] = {
    {1, 57},
    {2, 59},
};

const wchar_t kGroupName[] = L"IF Boards";
const wchar_t kGroupDescription[] = L"Contains tests of IF board related items like factory settings or statistics.";
const wchar_t kCategoryFormat[] = L"IF Board %d";
const wchar_t kRawDataDescription[] = L"Complete factory settings of IF Board.";

}  // namespace

void CTestIF::RunTests()
{
    if (!PassDeviceTypeGate() || !IsOneOf(m_device.deviceType, kIfTypes))
        return;
    int first = FirstFittedSlot(kSlots);
    if (first == 0)
        return;

    Writer().BeginGroup(kGroupName, kGroupDescription, Format(kCategoryFormat, first).c_str(), kManualSubCats);
    for (const ModuleSlot& slot : kSlots) {
        // The presence is read once more for every slot from the first fitted one on.
        if (slot.number < first || !IsModulePresent(slot.presenceSelector))
            continue;
        if (slot.number != first)
            Writer().BeginCategory(Format(kCategoryFormat, slot.number).c_str(), kManualSubCats);
        Writer().BeginSubCategory(L"Factory Settings");
        WriteFactorySettings(IfBoardSlot{slot.number}, kRawDataDescription);
        if (IsOneOf(m_device.deviceType, kIfTemperatureTypes))
            WriteIfTemperatures();
        Writer().BeginSubCategory(L"Statistics");
        WriteIfStatistics(slot.number);
    }
    Writer().EndGroup();
}

void CTestIF::WriteIfTemperatures() { WriteSensorTemperatures(kIfBoardSensors, L"Temperatures"); }

void CTestIF::WriteIfStatistics(int slot)
{
    const ModuleStatistics* statistics = IfBoardStatistics(slot);
    if (statistics)
        WriteStatistics(*statistics);
}

}  // namespace kv
