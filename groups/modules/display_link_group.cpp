#include "groups/modules/display_link_group.h"

#include "groups/device_types.h"

namespace kv {
namespace {

// The models with a display link module.
const DWORD kDisplayLinkTypes[] = {kCorvaboxC90, kCorvaboxC92};
// The models whose display link temperatures are not shown.
const DWORD kNoTemperatureTypes[] = {kCorvaboxC92};
const UINT kPresenceSelector = 18;  // IxaGetHardwareValue

}  // namespace

void CTestDisplayLink::RunTests()
{
    if (!PassDeviceTypeGate() || !IsOneOf(m_device.deviceType, kDisplayLinkTypes))
        return;
    if (!IsModulePresent(kPresenceSelector))
        return;

    Writer().BeginGroup(L"Display Link",
                        L"Contains tests of Display Link related items like factory settings or statistics.",
                        L"Firmware", nullptr);
    WriteFirmwareInfo(kDisplayLinkFirmware);
    Writer().BeginCategory(L"Factory Settings", nullptr);
    WriteFactorySettings(kDisplayLinkSelectors, L"Complete factory settings of Display Link.");
    Writer().BeginCategory(L"Statistics", nullptr);
    WriteStatistics(kDisplayLinkStatistics);
    if (!IsOneOf(m_device.deviceType, kNoTemperatureTypes)) {
        // Written, empty, when no sensor can be read.
        Writer().BeginCategory(L"Temperatures", nullptr);
        WriteSensorTemperatures(kDisplayLinkSensors);
    }
    Writer().EndGroup();
}

}  // namespace kv
