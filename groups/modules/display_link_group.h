// Display link group: FPGA firmware, factory settings, power-on counters and,
// on one model, the temperatures of the display link module.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestDisplayLink : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;
};

}  // namespace kv
