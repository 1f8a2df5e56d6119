// System unit group: the main unit's maintenance controller and link firmware,
// factory settings, counters, board temperatures, case fans, setting switches
// and CMOS battery. Which parts a model shows stands in the rule tables of
// system_unit_group.cpp. Nothing is written when the device type is unknown.
#pragma once

#include "groups/group_base.h"
#include "groups/units/unit_writer.h"

namespace kv {

struct BoardTemperature;

class CTestSystemUnit : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    bool TypeIn(const TypeSet& types) const { return types.Has(m_device.deviceType); }

    void WriteKmon(UnitWriter& out);
    void WriteKmonBootMode(UnitWriter& out);
    void WriteVersionOrNotAvailable(UnitWriter& out, const wchar_t* label, UINT selector);
    void WriteVdLink(UnitWriter& out);
    void WriteFactorySettings(UnitWriter& out);
    void WriteStatistics(UnitWriter& out);
    void WriteTemperatures(UnitWriter& out);
    void WriteBoardTemperature(UnitWriter& out, const BoardTemperature& sensor);
    void WriteFans(UnitWriter& out);
    void WriteSwitches(UnitWriter& out);
    void WriteBattery(UnitWriter& out);
};

}  // namespace kv
