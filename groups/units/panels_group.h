// Panels group: every operator panel the library can address (panel index 0 to
// 15), one category per present panel with its status, link, factory settings,
// counters, temperature, fan, display settings, keys and LEDs. Which parts a
// panel shows depends on its index and the device type (panels_group.cpp).
// Runs also when the device type cannot be read.
#pragma once

#include "groups/group_base.h"
#include "groups/units/panel_families.h"

namespace kv {

struct PanelRule;

class CTestPanel : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    // The device type is read when a rule first needs it, and again at each
    // later device-type test while it cannot be read.
    bool Applies(const PanelRule& rule, BYTE panel);
    void WritePanel(PanelTests& out, BYTE panel);
    void WriteStatistics(PanelTests& out, BYTE panel);
    void WriteFan(PanelTests& out, BYTE panel);
};

}  // namespace kv
