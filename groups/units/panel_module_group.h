// Panel module group: one of the five modules of an operator panel (panel 0 to
// 15, module 0 to 4) on a device built from modules. Three ways: a module that
// answers the panel module entry points shows FPGA, factory settings, counters
// and temperatures; one with FPGA firmware only shows that (the HDBaseT module
// also its VLK4 link statistics); otherwise the panel (module 0) and its link
// (module 1) are shown from the panel's own values. Module 0 also carries the
// panel's status, display settings, keys and LEDs. An absent panel writes nothing.
#pragma once

#include "groups/group_base.h"
#include "groups/units/module_families.h"
#include "groups/units/panel_families.h"

#include <string>

namespace kv {

struct Vlk4Block;

class CTestPanelModule : public CTest {
public:
    CTestPanelModule(ReportWriter* writer, BYTE panel, BYTE module)
        : CTest(writer), m_panel(panel), m_module(module)
    {
    }
    void RunTests() override;

private:
    void BeginModuleGroup(const wchar_t* subCategory);
    void WriteModulePath();
    void WriteFirmwarePath();
    void WriteLegacyPanel();
    void WriteLegacyLink();
    void WritePanelOperation(PanelTests& out);
    void WriteLegacyStatistics(PanelTests& out);
    void WriteFan(PanelTests& out);
    void WriteUsbStates(PanelTests& out);
    void WriteVlk4Statistics(PanelTests& out);
    bool WriteVlk4Block(PanelTests& out, const Vlk4Block& block, bool categoryOpen);

    BYTE m_panel;
    BYTE m_module;
};

// "Panel", "Panel Link", "VLK3 Converter", "Expansion Unit", "HDBaseT" for module
// 0 to 4, else "Panel module %d".
std::wstring PanelModuleName(BYTE module);

}  // namespace kv
