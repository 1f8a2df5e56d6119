// I/O board group: FPGA firmware, factory settings, temperatures and power-on
// counters of the I/O board.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestIO : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;
};

}  // namespace kv
