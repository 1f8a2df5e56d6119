// Slide-in drive group: factory settings and temperature of each fitted
// slide-in drive, on the models with drive slots.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestDrive : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    // "Slide-in drive N"; other slot numbers write nothing.
    void WriteDriveTemperature(int slot);
};

}  // namespace kv
