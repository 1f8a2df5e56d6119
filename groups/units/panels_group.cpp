#include "groups/units/panels_group.h"

#include "device/text_helpers.h"

namespace kv {

// Whether a part is written, for one panel position.
struct TypeRule {
    enum Kind { kAlways, kNever, kUnless, kOnly };
    Kind kind;
    TypeSet types;
};

// A part's rule for panel index 0, for 1 to 14 and for 15.
struct PanelRule {
    TypeRule first;
    TypeRule middle;
    TypeRule last;
};

namespace {

constexpr TypeRule Always() { return TypeRule{TypeRule::kAlways, TypeSet{0}}; }
constexpr TypeRule Never() { return TypeRule{TypeRule::kNever, TypeSet{0}}; }
constexpr TypeRule Unless(TypeSet types) { return TypeRule{TypeRule::kUnless, types}; }
constexpr TypeRule Only(TypeSet types) { return TypeRule{TypeRule::kOnly, types}; }

const BYTE kPanelCount = 16;
const BYTE kLastPanel = 15;

enum class PanelPart { kLink, kFactorySettings, kStatistics, kTemperature, kFans };

struct OptionalSubCategory {
    const wchar_t* name;
    PanelPart part;
    PanelRule rule;
};

// The subcategories between "Status" and "Display Settings", in report order.
const TypeSet kLocalPanelTypes = Types({15, 16, 17, 22});  // panel 0 without link, factory settings, temperature, fan
const TypeSet kPanel15Types = Types({19, 21});             // panel 15 with factory settings, counters, temperature
//                                                  index 0                    1 to 14   15
const OptionalSubCategory kOptionalSubCategories[] = {
    {L"Link", PanelPart::kLink,                         {Unless(kLocalPanelTypes), Always(), Never()}},
    {L"Factory Settings", PanelPart::kFactorySettings,  {Unless(kLocalPanelTypes), Always(), Only(kPanel15Types)}},
    {L"Statistics", PanelPart::kStatistics,             {Unless(Types({22})),      Always(), Only(kPanel15Types)}},
    {L"Temperature", PanelPart::kTemperature,           {Unless(kLocalPanelTypes), Always(), Only(kPanel15Types)}},
    {L"Fans", PanelPart::kFans,                         {Unless(kLocalPanelTypes), Always(), Never()}},
};

// Tests inside "Display Settings" and "LEDs".
const PanelRule kDisplayType = {Only(Types({15})), Never(), Never()};
const PanelRule kEqualizer = {Unless(kLocalPanelTypes), Always(), Never()};
const PanelRule kFirstLedLayerOnly = {Only(Types({22})), Only(Types({22})), Only(Types({22}))};
// The panel's own power-on counters precede the backlight counters.
const PanelRule kPowerOnCounters = {Never(), Never(), Always()};

struct PanelCounter {
    const wchar_t* label;
    UINT selector;  // IxaGetStatisticsValue
};
const PanelCounter kPowerOnCountersList[] = {{L"Power-on cycles", 22}, {L"Power-on hours", 23}};
const PanelCounter kBacklightCounters[] = {{L"Backlight-on cycles", 3}, {L"Backlight-on hours", 4}};

// The panel group's own wording of the shared panel tests.
const PanelTexts kPanelTexts = {
    Text(L"Linked"),
    Text(L"Locked"),
    Text(L"Lock time"),
    Text(L"Type"),
    Text(L"FPGA version"),
    {
        {Text(L"Vendor ID"), Text(L"Kavrol = 0.")},
        {Text(L"Device ID"), kNoText},
        {Text(L"Compatibility ID"), Text(L"The compatibility ID is used to recognize hardware changes that are "
                                         L"important for device specific software.")},
        {Text(L"Hardware revision"), kNoText},
        {Text(L"Serial number"), kNoText},
        {Text(L"Model number"), kNoText},
        {Text(L"Raw data"), Text(L"Complete factory settings of the Viewdeck.")},
    },
    {Text(L"Display type"), kNoText},
    {Text(L"Resolution"), kNoText},
    {Text(L"Brightness"), kNoText},
    {Text(L"Default brightness"), kNoText},
    {Text(L"Equalizer"), kNoText},
    {Text(L"Equalizer auto value"), Text(L"Predetermined equalizer value of the Viewdeck: 0 (strong; for long "
                                         L"cables) to 15 (weak; for short cables).")},
    {Text(L"Count"), Text(L"The maximum number of keys supported by the Kavrol device.")},
    {Text(L"Enabled"), Text(L"Determines whether the keys are enabled.")},
    {Text(L"Switches"), Text(L"The state of the key switches on the device. Each state is represented by one bit: "
                             L"0 = contact open, 1 = contact closed.")},
    {Text(L"Matrix"), Text(L"State of all keys on the Viewdeck.")},
    {Text(L"Count"), Text(L"The maximum number of LEDs supported by the Kavrol device.")},
    {Text(L"Matrix, layer %d"), Text(L"State of all LEDs on the Viewdeck.")},
};

std::wstring PanelName(BYTE panel) { return Format(L"Panel %d", static_cast<int>(panel)); }

// One device-type test per code of the set, lowest first, up to the first that
// matches; while the device type cannot be read, each test reads it again.
bool IsOneOf(DeviceInterface& device, const TypeSet& types)
{
    for (DWORD code = 1; code < 32; ++code) {
        if (types.Has(code) && IsDeviceType(device, code))
            return true;
    }
    return false;
}

}  // namespace

bool CTestPanel::Applies(const PanelRule& rule, BYTE panel)
{
    const TypeRule& position = panel == 0 ? rule.first : panel == kLastPanel ? rule.last : rule.middle;
    switch (position.kind) {
    case TypeRule::kAlways:
        return true;
    case TypeRule::kNever:
        return false;
    case TypeRule::kUnless:
        return !IsOneOf(m_device, position.types);
    case TypeRule::kOnly:
        return IsOneOf(m_device, position.types);
    }
    return false;
}

// The first present panel opens the group; its category comes with BeginGroup.
// Each panel is selected again before its own reads.
void CTestPanel::RunTests()
{
    BYTE first = 0;
    while (first < kPanelCount && !SelectPresentPanel(m_device, first))
        ++first;
    if (first == kPanelCount)
        return;

    PanelTests out(m_device, Writer(), kPanelTexts);
    Writer().BeginGroup(L"Panels", L"Contains tests of panel related items like brightness or resolution.",
                        PanelName(first).c_str(), kManualSubCats);
    for (BYTE panel = first; panel < kPanelCount; ++panel) {
        if (!SelectPresentPanel(m_device, panel))
            continue;
        if (panel != first)
            Writer().BeginCategory(PanelName(panel).c_str(), kManualSubCats);
        WritePanel(out, panel);
    }
    Writer().EndGroup();
}

void CTestPanel::WritePanel(PanelTests& out, BYTE panel)
{
    Writer().BeginSubCategory(L"Status");
    if (!out.WriteStatus(true))
        return;

    for (const OptionalSubCategory& sub : kOptionalSubCategories) {
        if (!Applies(sub.rule, panel))
            continue;
        Writer().BeginSubCategory(sub.name);
        switch (sub.part) {
        case PanelPart::kLink:
            out.WriteLink();
            break;
        case PanelPart::kFactorySettings:
            out.WriteFactorySettings();
            break;
        case PanelPart::kStatistics:
            WriteStatistics(out, panel);
            break;
        case PanelPart::kTemperature:
            out.WriteTemperature(PanelName(panel));
            break;
        case PanelPart::kFans:
            WriteFan(out, panel);
            break;
        }
    }

    Writer().BeginSubCategory(L"Display Settings");
    const bool displayType = Applies(kDisplayType, panel);
    out.WriteDisplaySettings(displayType, [this, panel] { return Applies(kEqualizer, panel); });
    Writer().BeginSubCategory(L"Keys");
    out.WriteKeys();
    Writer().BeginSubCategory(L"LEDs");
    out.WriteLeds([this, panel] { return Applies(kFirstLedLayerOnly, panel); });
}

void CTestPanel::WriteStatistics(PanelTests& out, BYTE panel)
{
    auto write = [&out, this](const PanelCounter& counter) {
        out.Begin(Text(counter.label));
        const CounterReading reading = ReadCounter(m_device, counter.selector);
        if (reading.ok)
            out.Result(Format(L"%u", static_cast<unsigned>(reading.value)), kFmtDec);
        else
            out.Error(reading.error);
        out.End();
    };
    if (Applies(kPowerOnCounters, panel)) {
        for (const PanelCounter& counter : kPowerOnCountersList)
            write(counter);
    }
    for (const PanelCounter& counter : kBacklightCounters)
        write(counter);
}

// An unreadable fan is shown with its error text, but not as a failure.
void CTestPanel::WriteFan(PanelTests& out, BYTE panel)
{
    out.Begin(PanelName(panel) + L" fan");
    const PanelFanReading fan = ReadPanelFan(m_device);
    if (fan.ok)
        out.Result(Format(L"%u", static_cast<unsigned>(fan.rpm)), kFmtRpm, fan.alarm ? kAlarm : kPassed);
    else
        out.Result(SystemErrorText(fan.error), kFmtString);
    out.End();
}

}  // namespace kv
