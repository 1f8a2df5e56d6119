// Fan settings group: the configured minimum speeds of the device fan and the bus
// fan. Written only when at least one of them can be read; no device-type gate.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestFanValues : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;
};

}  // namespace kv
