#include "app/sequences.h"

#include "groups/host/bios_group.h"
#include "groups/host/fan_values_group.h"
#include "groups/host/general_group.h"
#include "groups/host/op_ctrls_group.h"
#include "groups/host/os_group.h"
#include "groups/host/voltages_group.h"
#include "groups/platform/cpu_group.h"
#include "groups/platform/cpu_board_group.h"
#include "groups/platform/drivers_tools_group.h"
#include "groups/platform/dvi_group.h"
#include "groups/platform/ups_group.h"
#include "groups/modules/bus_unit_group.h"
#include "groups/modules/display_link_group.h"
#include "groups/modules/fan_kits_group.h"
#include "groups/modules/if_boards_group.h"
#include "groups/modules/io_board_group.h"
#include "groups/modules/memory_group.h"
#include "groups/modules/slide_in_drives_group.h"

namespace kv {
namespace {

template <typename Group>
std::unique_ptr<CTest> Make(ReportWriter* writer)
{
    return std::make_unique<Group>(writer);
}

// A null entry keeps a group's place (and its progress step) until the group exists.
const GroupFactory kSequenceA[] = {
    Make<CTestOS>,  // CTestOS
    Make<CTestKvDriversAndTools>,  // CTestKvDriversAndTools
    Make<CTestBios>,  // CTestBios
    Make<CTestCPU>,  // CTestCPU
    Make<CTestMemory>,  // CTestMemory
    Make<CTestFanValues>,  // CTestFanValues
    Make<CTestUPS>,  // CTestUPS
    Make<CTestOpCtrls>,  // CTestOpCtrls
    Make<CTestGeneral>,  // CTestGeneral
    Make<CTestVoltages>,  // CTestVoltages
    Make<CTestDVI>,  // CTestDVI
};

const GroupFactory kSequenceB[] = {
    Make<CTestOS>,  // CTestOS
    Make<CTestKvDriversAndTools>,  // CTestKvDriversAndTools
    Make<CTestBios>,  // CTestBios
    Make<CTestGeneral>,  // CTestGeneral
    nullptr,        // CTestSystemUnit
    Make<CTestCPUBoard>,  // CTestCPUBoard
    Make<CTestCPU>,  // CTestCPU
    Make<CTestMemory>,  // CTestMemory
    Make<CTestOpCtrls>,  // CTestOpCtrls
    Make<CTestBusUnit>,  // CTestBusUnit
    Make<CTestDrive>,  // CTestDrive
    Make<CTestFanKit>,  // CTestFanKit
    Make<CTestIF>,  // CTestIF
    Make<CTestIO>,  // CTestIO
    Make<CTestUPS>,  // CTestUPS
    Make<CTestDisplayLink>,  // CTestDisplayLink
    nullptr,        // CTestPanel
    Make<CTestDVI>,  // CTestDVI
};

const int kSequenceACount = static_cast<int>(sizeof kSequenceA / sizeof kSequenceA[0]);
const int kSequenceBCount = static_cast<int>(sizeof kSequenceB / sizeof kSequenceB[0]);

}  // namespace

const Sequence& SequenceA()
{
    static const Sequence sequence = {kSequenceA, kSequenceACount, true,
                                      kSequenceACount + kPcModuleCount + kPanelCount * kPanelModuleCount};
    return sequence;
}

const Sequence& SequenceB()
{
    static const Sequence sequence = {kSequenceB, kSequenceBCount, false, kSequenceBCount};
    return sequence;
}

std::unique_ptr<CTest> MakePcModule(ReportWriter*, BYTE) { return nullptr; }

std::unique_ptr<CTest> MakePanelModule(ReportWriter*, BYTE, BYTE) { return nullptr; }

}  // namespace kv
