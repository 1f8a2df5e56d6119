#include "groups/host/fan_values_group.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

struct FanValueTest {
    UINT nameId;
    UINT selector;  // IxaGetFanValue, 8-bit percent, 0 for automatic
};

static const FanValueTest kFanValueTests[] = {
    {270, 0},  // "Fan min. speed"
    {271, 1},  // "Bus fan min. speed"
};

std::wstring MinimumSpeedText(BYTE percent)
{
    if (percent == 0)
        return L"Auto";
    return Format(L"%u%%", static_cast<unsigned>(percent));
}

}  // namespace

// A value that cannot be read is left out without an error text.
void CTestFanValues::RunTests()
{
    bool groupBegun = false;
    for (const FanValueTest& test : kFanValueTests) {
        BYTE percent = 0;
        if (!m_device.IxaGetFanValue || !m_device.IxaGetFanValue(test.selector, &percent, sizeof percent))
            continue;
        if (!groupBegun) {
            Writer().BeginGroup(268, 269);
            groupBegun = true;
        }
        Writer().BeginTest(test.nameId);
        WritePassed(MinimumSpeedText(percent), kFmtString);
        Writer().EndTest();
    }
    if (groupBegun)
        Writer().EndGroup();
}

}  // namespace kv
