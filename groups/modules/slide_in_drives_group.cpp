#include "groups/modules/slide_in_drives_group.h"

#include "device/text_helpers.h"
#include "groups/device_types.h"

namespace kv {
namespace {

// The models with slide-in drive slots.
const DWORD kDriveTypes[] = {kCorvaboxC90, kPanevoxP91};

const ModuleSlot kSlots[] = {
    {1, 62},
    {2, 63},
};

const wchar_t kGroupName[] = L"Slide-In Drives";
const wchar_t kGroupDescription[] =
    L"Contains tests of slide-in drive related items like factory settings or statistics.";
const wchar_t kCategoryFormat[] = L"Slide-In Drive %d";

}  // namespace

void CTestDrive::RunTests()
{
    if (!PassDeviceTypeGate() || !IsOneOf(m_device.deviceType, kDriveTypes))
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
        WriteFactorySettings(SlideInSlot{slot.number});
        // Kept even when the temperature cannot be read.
        Writer().BeginSubCategory(L"Temperatures");
        WriteDriveTemperature(slot.number);
    }
    Writer().EndGroup();
}

void CTestDrive::WriteDriveTemperature(int slot)
{
    const ModuleSensors* sensor = SlideInDriveSensor(slot);
    if (!sensor)
        return;
    WriteSensorTemperature(sensor->temperatureSelector, sensor->alarmSelector,
                           Format(L"Slide-in drive %d", slot).c_str(), L"Temperature of slide-in drive.");
}

}  // namespace kv
