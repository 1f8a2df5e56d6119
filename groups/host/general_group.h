// General group: the User Serial ID and the key configuration with its state,
// version, build date, user information, active key layer and layer mode.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestGeneral : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteUserSerialIdTest();
    // False when the key configuration is unreadable or not valid: nothing more to show.
    bool WriteKeyCfgStateTest();
    void WriteKeyCfgStringTest(UINT nameId, UINT selector, bool emptyIsNotAvailable);
    void WriteKeyLayerTest();
    void WriteKeyLayerModeTest();
};

}  // namespace kv
