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

// Running order = report order. Sequence A: devices whose library offers the
// module entry points; its PC modules and panel modules follow the fixed part.
const GroupFactory kSequenceA[] = {
    Make<CTestOS>,                  //  1
    Make<CTestKvDriversAndTools>,   //  2
    Make<CTestBios>,                //  3
    Make<CTestCPU>,                 //  4
    Make<CTestMemory>,              //  5
    Make<CTestFanValues>,           //  6
    Make<CTestUPS>,                 //  7
    Make<CTestOpCtrls>,             //  8
    Make<CTestGeneral>,             //  9
    Make<CTestVoltages>,            // 10
    Make<CTestDVI>,                 // 11
};

// Sequence B: every other device.
const GroupFactory kSequenceB[] = {
    Make<CTestOS>,                  //  1
    Make<CTestKvDriversAndTools>,   //  2
    Make<CTestBios>,                //  3
    Make<CTestGeneral>,             //  4
    Make<CTestSystemUnit>,          //  5
    Make<CTestCPUBoard>,            //  6
    Make<CTestCPU>,                 //  7
    Make<CTestMemory>,              //  8
    Make<CTestOpCtrls>,             //  9
    Make<CTestBusUnit>,             // 10
    Make<CTestDrive>,               // 11
    Make<CTestFanKit>,              // 12
    Make<CTestIF>,                  // 13
    Make<CTestIO>,                  // 14
    Make<CTestUPS>,                 // 15
    Make<CTestDisplayLink>,         // 16
    Make<CTestPanel>,               // 17
    Make<CTestDVI>,                 // 18
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
