// CPU board group: the board fitted, its factory settings, operating counters,
// temperatures and supply voltages. Which of them a model shows is one row of
// the model table in test_cpu_board.cpp.
#pragma once

#include "groups/group_base.h"

namespace kv {

struct CpuBoardModel;

class CTestCPUBoard : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteTypeTest();
    void WriteFactorySettingsTests(const CpuBoardModel& model);
    void WriteTemperatureTests(const CpuBoardModel& model);
    void WriteBoardTemperatureTest();
    void WriteVoltageTests(const CpuBoardModel& model);
    void WriteVoltageTest(const wchar_t* label, const wchar_t* description, UINT selector, const wchar_t* text,
                          int format);
};

}  // namespace kv
