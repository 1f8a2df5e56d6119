// PC module group: one numbered module of a device built from modules (module
// index 0 to 15) with its FPGA, factory settings, counters, fans, temperatures
// and ready relay. A module that does not answer writes nothing.
#pragma once

#include "groups/group_base.h"
#include "groups/units/module_families.h"

#include <string>

namespace kv {

class CTestPcModule : public CTest {
public:
    CTestPcModule(ReportWriter* writer, BYTE module) : CTest(writer), m_module(module) {}
    void RunTests() override;

private:
    void WriteFans(UnitWriter& out);
    void WriteFanStatistics(UnitWriter& out, UINT fan);
    void WriteReadyRelay(UnitWriter& out);

    BYTE m_module;
};

// The module's name: string 174 to 187 for index 0 to 13, else "Module %d".
std::wstring PcModuleName(BYTE module);

}  // namespace kv
