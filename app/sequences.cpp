#include "app/sequences.h"

#include "groups/host/bios_group.h"
#include "groups/host/fan_values_group.h"
#include "groups/host/general_group.h"
#include "groups/host/op_ctrls_group.h"
#include "groups/host/os_group.h"
#include "groups/host/voltages_group.h"
#include "groups/platform/cpu_group.h"
#include "groups/platform/cpu_board_group.h"
#include "groups/modules/memory_group.h"
#include "groups/units/panel_module_group.h"
#include "groups/units/panels_group.h"
#include "groups/units/pc_module_group.h"
#include "groups/units/system_unit_group.h"

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
    nullptr,        // CTestKvDriversAndTools
    Make<CTestBios>,  // CTestBios
    Make<CTestCPU>,  // CTestCPU
    Make<CTestMemory>,  // CTestMemory
    Make<CTestFanValues>,  // CTestFanValues
    nullptr,        // CTestUPS
    Make<CTestOpCtrls>,  // CTestOpCtrls
    Make<CTestGeneral>,  // CTestGeneral
    Make<CTestVoltages>,  // CTestVoltages
    nullptr,        // CTestDVI
};

const GroupFactory kSequenceB[] = {
    Make<CTestOS>,  // CTestOS
    nullptr,        // CTestKvDriversAndTools
    Make<CTestBios>,  // CTestBios
    Make<CTestGeneral>,  // CTestGeneral
    Make<CTestSystemUnit>,  // CTestSystemUnit
    Make<CTestCPUBoard>,  // CTestCPUBoard
    Make<CTestCPU>,  // CTestCPU
    Make<CTestMemory>,  // CTestMemory
    Make<CTestOpCtrls>,  // CTestOpCtrls
    nullptr,        // CTestBusUnit
    nullptr,        // CTestDrive
    nullptr,        // CTestFanKit
    nullptr,        // CTestIF
    nullptr,        // CTestIO
    nullptr,        // CTestUPS
    nullptr,        // CTestDisplayLink
    Make<CTestPanel>,  // CTestPanel
    nullptr,        // CTestDVI
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

std::unique_ptr<CTest> MakePcModule(ReportWriter* writer, BYTE module)
{
    return std::make_unique<CTestPcModule>(writer, module);
}

std::unique_ptr<CTest> MakePanelModule(ReportWriter* writer, BYTE panel, BYTE module)
{
    return std::make_unique<CTestPanelModule>(writer, panel, module);
}

}  // namespace kv
