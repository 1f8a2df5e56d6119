// Voltage group: CMOS battery voltage and state, input voltage and CPU power.
// Its "Volt" results feed the report page's voltage summary.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestVoltages : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteVoltageResult(UINT selector, int format);
    void WriteBatteryStateResult(UINT selector);
};

}  // namespace kv
