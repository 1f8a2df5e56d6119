// IF board group: factory settings, IF temperatures (on some models) and
// operating counters of each fitted interface board.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestIF : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    // "Sensor 1" to "Sensor 4", the same for both slots; the "Temperatures"
    // subcategory only when a sensor can be read.
    void WriteIfTemperatures();
    // "Power-on cycles" and "Power-on hours"; other slot numbers write nothing.
    void WriteIfStatistics(int slot);
};

}  // namespace kv
