// Operating controls group: push button, selector switch, stop button and enable
// switch, readable only on devices with the special hardware for them.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestOpCtrls : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    // Reads a value of size bytes (1 or 4) with IxaGetHardwareValue.
    bool ReadHardwareValue(UINT selector, UINT size, int& value);
    void WritePresentControlResult(UINT presenceSelector, UINT valueSelector, UINT valueSize);
    void WriteEnableSwitchResult(UINT valueSelector, UINT valueSize);
};

}  // namespace kv
