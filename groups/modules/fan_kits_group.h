// Fan kit group: factory settings, fan-on counters and fan speeds of the case
// fan kit and the bus fan kit, each when fitted.
#pragma once

#include "groups/group_base.h"

namespace kv {

struct FanKit;

class CTestFanKit : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteKit(const FanKit& kit);
    // Up to four "... fan N" tests; an unreadable fan is left out.
    void WriteFanSpeeds(const FanKit& kit);
    void WriteFanSpeed(const wchar_t* label, UINT speedSelector, UINT alarmSelector);
};

}  // namespace kv
