// CPU group: processor identity from the registry, the CPU board fitted, the
// processor's internal temperature and, on two device models, its core voltages.
#pragma once

#include "groups/group_base.h"

namespace kv {

class CTestCPU : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteIdentificationTests();
    void WriteBoardTypeTest();
    void WriteTemperatureTest();
    void WriteTemperatureTestViaWmi();
    void WriteTemperatureTestDirect();
    void WriteVoltageTests();
    void WriteVoltageTest(const wchar_t* label, const wchar_t* description, UINT selector);
};

}  // namespace kv
