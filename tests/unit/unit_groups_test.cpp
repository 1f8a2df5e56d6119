// The system unit and panels groups run directly against the simulated library:
// device type 22, on which the program refuses to start, reaches them only this way.
#include "report_file.h"

#include "device/text_helpers.h"
#include "groups/units/panels_group.h"
#include "groups/units/system_unit_group.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

// One line of the expected tree: 'c' category with the default subcategory, 'p'
// category without one, 's' subcategory, 't' test (name, result, format, description or null).
struct Row {
    char kind;
    const wchar_t* name;
    std::wstring result = L"";
    const wchar_t* format = L"String";
    const wchar_t* description = nullptr;
};

std::wstring Tabs(int count) { return std::wstring(static_cast<size_t>(count), L'\t'); }

// The group as the writer lays it out: a first category without default subcategory, numbered from 1.
std::vector<std::wstring> Render(const wchar_t* name, const wchar_t* description, const wchar_t* firstCategory,
                                 const std::vector<Row>& rows)
{
    std::wstring text = Tabs(1) + L"<TestGroup>\r\n" + Tabs(2) + L"<GroupNumber>1</GroupNumber>\r\n" + Tabs(2) +
                        L"<GroupName>" + name + L"</GroupName>\r\n" + Tabs(2) + L"<GroupDescription>" + description +
                        L"</GroupDescription>\r\n" + Tabs(2) + L"<Category>\r\n" + Tabs(3) + L"<CategoryName>" +
                        firstCategory + L"</CategoryName>\r\n";
    bool subOpen = false;
    int number = 0;
    for (const Row& row : rows) {
        if (row.kind != 't' && subOpen)
            text += Tabs(3) + L"</SubCategory>\r\n";
        if (row.kind == 'c' || row.kind == 'p') {
            text += Tabs(2) + L"</Category>\r\n" + Tabs(2) + L"<Category>\r\n" + Tabs(3) + L"<CategoryName>" +
                    row.name + L"</CategoryName>\r\n";
            if (row.kind == 'c')
                text += Tabs(4) + L"<SubCategory>\r\n" + Tabs(5) + L"<SubCategoryName>CatUndef</SubCategoryName>\r\n";
        } else if (row.kind == 's') {
            text += Tabs(3) + L"<SubCategory>\r\n" + Tabs(4) + L"<SubCategoryName>" + row.name +
                    L"</SubCategoryName>\r\n";
        } else {
            text += Tabs(6) + L"<Test>\r\n" + Tabs(7) + L"<TestName>" + row.name + L"</TestName>\r\n" + Tabs(7) +
                    L"<TestDescription>" + (row.description ? row.description : L"DescrUndef") +
                    L"</TestDescription>\r\n" + Tabs(7) + L"<TestNumber>" + std::to_wstring(++number) +
                    L"</TestNumber>\r\n" + Tabs(7) + L"<TestResult Format=\"" + row.format + L"\">" + row.result +
                    L"</TestResult>\r\n" + Tabs(7) + L"<TestStatus>Passed</TestStatus>\r\n" + Tabs(6) +
                    L"</Test>\r\n";
        }
        if (row.kind != 't')
            subOpen = row.kind != 'p';
    }
    text += (subOpen ? Tabs(3) + L"</SubCategory>\r\n" : L"") + Tabs(2) + L"</Category>\r\n" + Tabs(1) +
            L"</TestGroup>\r\n";
    return SplitLines(text);
}

std::wstring Dump(std::vector<unsigned char> bytes, size_t length, unsigned char fill)
{
    bytes.resize(length, fill);
    std::wstring text;
    FormatRawData(bytes.data(), bytes.size(), text);
    return text;
}

template <typename Group>
std::vector<std::wstring> RunGroup(const std::string& profile, std::unique_ptr<ScopedProfile>& trace)
{
    trace = std::make_unique<ScopedProfile>(profile);
    TempReport report;
    ReportWriter writer;
    writer.file = report.handle();
    {
        Group group(&writer);
        group.RunTests();
    }
    return report.Lines();
}

// Every value the group would show on other models is answered: type 22 keeps them out.
const char kRoamdeckSystemUnit[] = R"({
  "IxaGetDeviceType": {"u32": 22},
  "IxaGetFirmwareStringW": {"27": {"wstr": "V2.08"}, "18": {"wstr": "V1.10"}},
  "IxaGetHardwareValue": {"18": {"u32": 1}, "15": {"u8": 5}, "6": {"u16": 2000}, "51": {"u8": 1},
                          "0": {"u8": 1}, "37": {"i32": 1}},
  "IxaGetFactoryValue": {"1": {"wstr": "V1.00"}, "11": {"u32": 0}, "2": {"u32": "0xB220"}, "3": {"u16": 1},
                         "31": {"error": 87}, "32": {"error": 87}, "17": {"hex": "01 02", "fill": 255}},
  "IxaGetFactoryStringW": {"12": {"wstr": "A3"}, "13": {"wstr": "E9R60195521"}, "14": {"wstr": "KV-R96.1010-00"}},
  "IxaGetStatisticsValue": {"0": {"u32": 10}, "1": {"u32": 200}, "2": {"u16": 150}},
  "IxaGetTemperature": {"default": {"i8": 40}},
  "IxaGetVoltage": {"3": {"u32": 3000}}
})";

TEST(RoamdeckSystemUnit, EmptyFirmwareThenFactorySettingsAndStatisticsOnly)
{
    std::unique_ptr<ScopedProfile> trace;
    const std::vector<std::wstring> lines = RunGroup<CTestSystemUnit>(kRoamdeckSystemUnit, trace);
    const std::vector<Row> rows = {
        {'c', L"Factory Settings"},
        {'t', L"Version", L"V1.00"},
        {'t', L"Vendor ID", L"00000000", L"Hex", L"Kavrol = 0."},
        {'t', L"Device ID", L"0000B220", L"Hex"},
        {'t', L"Compatibility ID", L"0001", L"Hex",
         L"The compatibility ID is used to recognize hardware changes that are important for device specific "
         L"software."},
        {'t', L"Parent Device ID", L"N/A", L"String",
         L"The parent device ID indicates the device, from which the actual device was derived (e.g. at a customer "
         L"specific variant of a standard device). FFFFFFFFh means no parent."},
        {'t', L"Parent Compatibility ID", L"N/A", L"String",
         L"The compatibility ID indicates the device, from which the actual device was derived (e.g. at a customer "
         L"specific variant of a standard device). FFFFh means no parent."},
        {'t', L"Hardware revision", L"A3"},
        {'t', L"Serial number", L"E9R60195521"},
        {'t', L"Model number", L"KV-R96.1010-00"},
        {'t', L"Raw data", Dump({1, 2}, 256, 0xFF), L"Raw", L"Complete factory settings of the Kavrol device."},
        {'c', L"Statistics"},
        {'t', L"Power-on cycles", L"10", L"Dec"},
        {'t', L"Power-on hours", L"200", L"Dec"},
        {'t', L"Fan-on hours", L"150", L"Dec"},
    };
    EXPECT_EQ(Render(L"System Unit",
                     L"Contains tests of system unit specific items like temperatures, factory settings or fan "
                     L"speeds.",
                     L"Firmware", rows),
              lines);
    EXPECT_TRUE(trace->Calls("IxaGetFirmwareStringW").empty());
    EXPECT_TRUE(trace->Calls("IxaGetHardwareValue").empty());
    EXPECT_TRUE(trace->Calls("IxaGetTemperature").empty());
    EXPECT_TRUE(trace->Calls("IxaGetVoltage").empty());
}

// Panels 0, 5 and 15, all linked, with a key configuration that would show LED layers 2 to 4.
const char kRoamdeckPanels[] = R"json({
  "IxaGetDeviceType": {"u32": 22},
  "IxaGetHardwareValue": {"12@panel0": {"u32": 1}, "12@panel5": {"u32": 1}, "12@panel15": {"u32": 1},
                          "13": {"u32": 1}, "14": {"u32": 0}, "11": {"u16": 2500}, "21": {"u8": 9}},
  "IxaGetPanelLockTime": {"u32": 100},
  "IxaGetHardwareStringW": {"17": {"wstr": "DVI (VLK3)"}},
  "IxaGetFirmwareStringW": {"20": {"wstr": "V1.03"}},
  "IxaGetFactoryValue": {"27": {"u32": 0}, "25": {"u32": "0xE215"}, "26": {"u16": 2}, "18": {"hex": "01", "fill": 255},
                         "4": {"u8": 2}, "15": {"u16": 800}, "16": {"u16": 480}},
  "IxaGetFactoryStringW": {"28": {"wstr": "C0"}, "29": {"wstr": "E9P1"}, "30": {"wstr": "KV-PNL"}},
  "IxaGetStatisticsValue": {"3": {"u32": 12}, "4": {"u32": 34}, "22": {"u32": 56}, "23": {"u32": 78}},
  "IxaGetTemperature": {"5": {"i8": 30}},
  "IxaGetAlarm": {"9": {"u32": 0}, "10": {"u32": 0}},
  "IxaGetDisplayBrightness": {"u8": 60},
  "IxaGetDisplayDefaultBrightness": {"u8": 100},
  "IxaGetDisplayEqualizer": {"mode": 1, "value": 3},
  "IxaGetKeyCount": {"u8": 0},
  "IxaGetLedCount": {"u8": 2},
  "IxaGetKeyCfgState": {"u32": 1},
  "IxaGetLedMatrix": {"default": {"hex": "", "fill": 0}}
})json";

TEST(RoamdeckPanels, PanelZeroAndFifteenWithoutOptionalPartsAndOnlyTheFirstLedLayer)
{
    std::unique_ptr<ScopedProfile> trace;
    const std::vector<std::wstring> lines = RunGroup<CTestPanel>(kRoamdeckPanels, trace);
    const std::wstring layer = Dump({}, 32, 0);
    const wchar_t kLeds[] = L"The maximum number of LEDs supported by the Kavrol device.";
    const wchar_t kKeys[] = L"The maximum number of keys supported by the Kavrol device.";
    const wchar_t kLayer[] = L"State of all LEDs on the Viewdeck.";
    const std::vector<Row> status = {{'s', L"Status"}, {'t', L"Linked", L"Yes", L"YesNo"},
                                     {'t', L"Locked", L"No", L"YesNo"}, {'t', L"Lock time", L"100", L"MilliSeconds"}};
    const std::vector<Row> display = {{'s', L"Display Settings"}, {'t', L"Resolution", L"800x480"},
                                      {'t', L"Brightness", L"60%"}, {'t', L"Default brightness", L"100", L"Percent"}};
    const std::vector<Row> keysAndLeds = {{'s', L"Keys"}, {'t', L"Count", L"0", L"String", kKeys}, {'s', L"LEDs"},
                                          {'t', L"Count", L"2", L"String", kLeds},
                                          {'t', L"Matrix, layer 1", layer, L"Raw", kLayer}};
    const std::vector<Row> middle = {
        {'s', L"Link"}, {'t', L"Type", L"DVI (VLK3)"}, {'t', L"FPGA version", L"V1.03"},
        {'s', L"Factory Settings"}, {'t', L"Vendor ID", L"00000000h", L"String", L"Kavrol = 0."},
        {'t', L"Device ID", L"0000E215h"},
        {'t', L"Compatibility ID", L"0002h", L"String",
         L"The compatibility ID is used to recognize hardware changes that are important for device specific "
         L"software."},
        {'t', L"Hardware revision", L"C0"}, {'t', L"Serial number", L"E9P1"}, {'t', L"Model number", L"KV-PNL"},
        {'t', L"Raw data", Dump({1}, 256, 0xFF), L"Raw", L"Complete factory settings of the Viewdeck."},
        {'s', L"Statistics"}, {'t', L"Backlight-on cycles", L"12", L"Dec"}, {'t', L"Backlight-on hours", L"34", L"Dec"},
        {'s', L"Temperature"}, {'t', L"Panel 5", L"30", L"DegreeCentigrade"},
        {'s', L"Fans"}, {'t', L"Panel 5 fan", L"2500", L"Rpm"}};
    // Panels 0 and 15 get none of the optional parts; panel 5 gets them all and the equalizer.
    // None of them shows LED layers 2 to 4.
    std::vector<Row> rows;
    auto add = [&rows](const std::vector<Row>& part) { rows.insert(rows.end(), part.begin(), part.end()); };
    for (const auto* part : {&status, &display, &keysAndLeds})
        add(*part);
    rows.push_back({'p', L"Panel 5"});
    for (const auto* part : {&status, &middle, &display})
        add(*part);
    rows.push_back({'t', L"Equalizer", L"3 (Auto)"});
    add(keysAndLeds);
    rows.push_back({'p', L"Panel 15"});
    for (const auto* part : {&status, &display, &keysAndLeds})
        add(*part);
    EXPECT_EQ(Render(L"Panels", L"Contains tests of panel related items like brightness or resolution.", L"Panel 0",
                     rows),
              lines);
    EXPECT_EQ(3u, trace->Calls("IxaGetLedMatrix").size());
    EXPECT_EQ(12u, trace->Calls("IxaGetKeyCfgState").size());
}

}  // namespace
}  // namespace kv
