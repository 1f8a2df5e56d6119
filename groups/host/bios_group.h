// BIOS group: firmware version and build date, the BIOS ID the maker's driver
// publishes in the registry, and the flash area the BIOS started from.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestBios : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteFirmwareStringTest(UINT nameId, UINT selector);
    void WriteIdTest();
    void WriteBootModeTest();
};

}  // namespace kv
