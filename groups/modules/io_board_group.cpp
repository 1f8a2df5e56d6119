#include "groups/modules/io_board_group.h"

#include "groups/device_types.h"

namespace kv {
namespace {

// The models with an I/O board.
const DWORD kIoBoardTypes[] = {kVoltadeckV70, kCorvaboxC80, kCorvaboxC81};
const UINT kPresenceSelector = 58;  // IxaGetHardwareValue

}  // namespace

void CTestIO::RunTests()
{
    if (!PassDeviceTypeGate() || !IsOneOf(m_device.deviceType, kIoBoardTypes))
        return;
    if (!IsModulePresent(kPresenceSelector))
        return;

    Writer().BeginGroup(L"I/O Board", L"Contains tests of I/O related items like factory settings or statistics.",
                        L"Firmware", nullptr);
    WriteFirmwareInfo(kIoBoardFirmware);
    Writer().BeginCategory(L"Factory Settings", nullptr);
    WriteFactorySettings(kIoBoardSelectors, L"Complete factory settings of I/O Board.");
    // Written, empty, when no sensor can be read.
    Writer().BeginCategory(L"Temperatures", nullptr);
    WriteSensorTemperatures(kIoBoardSensors);
    Writer().BeginCategory(L"Statistics", nullptr);
    WriteStatistics16(kIoBoardStatistics);
    Writer().EndGroup();
}

}  // namespace kv
