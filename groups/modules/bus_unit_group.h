// Bus unit group: factory settings and power-on counters of the bus unit.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestBusUnit : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;
};

}  // namespace kv
