#include "groups/modules/bus_unit_group.h"

#include "groups/device_types.h"

namespace kv {
namespace {

// The models with a bus unit.
const DWORD kBusUnitTypes[] = {kCorvaboxC90, kPanevoxP91};
const UINT kPresenceSelector = 65;  // IxaGetHardwareValue

}  // namespace

void CTestBusUnit::RunTests()
{
    if (!PassDeviceTypeGate() || !IsOneOf(m_device.deviceType, kBusUnitTypes))
        return;
    if (!IsModulePresent(kPresenceSelector))
        return;

    Writer().BeginGroup(L"Bus Unit", L"Contains tests of bus unit related items like factory settings or statistics.",
                        L"Factory Settings", nullptr);
    WriteFactorySettings(kBusUnitSelectors, L"Complete factory settings of bus unit.");
    Writer().BeginCategory(L"Statistics", nullptr);
    WriteStatistics(kBusUnitStatistics);
    Writer().EndGroup();
}

}  // namespace kv
