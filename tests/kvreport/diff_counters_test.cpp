// diff as the support desk reads it: counters with their change, parts that went
// whole, two devices told apart.
#include "report_builder.h"

#include "tools/kvreport/counters.h"
#include "tools/kvreport/diff_command.h"

#include <gtest/gtest.h>

namespace kvreport {
namespace {

std::vector<std::wstring> Lines(const Report& before, const Report& after)
{
    return SplitLines(ComparisonText(before, after, CompareReports(before, after, 5)));
}

// A device of sequence B and one of the module family, a month apart: counters up,
// down and equal in every place the program writes them.
TEST(DiffCounters, ShowTheirChangeAndThoseThatWentDownFirst)
{
    Report before = MakeReport({
        {L"General", L"User Settings", L"User Serial ID", L"Value", L"00C90017h"},
        {L"System Unit", L"Factory Settings", L"CatUndef", L"Serial number", L"E9C50172913"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Power-on cycles", L"1287", L"Dec"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Power-on hours", L"23541", L"Dec"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Fan-on hours", L"19876", L"Dec"},
        {L"Fan Kits", L"Case Fan Kit", L"Statistics", L"Fan-on hours", L"30000", L"Dec"},
        {L"Panels", L"Panel 0", L"Statistics", L"Backlight-on hours", L"20100", L"Dec"},
        {L"HDBaseT 0", L"Statistics", L"CatUndef", L"Power-on hours", L"12345h 30min"},
        {L"HDBaseT 0", L"Fans", L"Fan 1", L"Log", L"2h 30min"},
        {L"HDBaseT 0", L"Temperatures", L"Sensor 1", L"Alarm", L"0h 15min"},
        {L"HDBaseT 0", L"FPGA", L"CatUndef", L"FPGA update counter", L"3", L"Dec"},
        {L"UPS", L"Statistics", L"CatUndef", L"On-battery cycles", L"12", L"Dec"},
        {L"UPS", L"Status", L"CatUndef", L"Communication errors", L"3"},
    });
    Report after = MakeReport({
        {L"General", L"User Settings", L"User Serial ID", L"Value", L"00C90017h"},
        {L"System Unit", L"Factory Settings", L"CatUndef", L"Serial number", L"E9C50172913"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Power-on cycles", L"1300", L"Dec"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Power-on hours", L"24261", L"Dec"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Fan-on hours", L"19876", L"Dec"},
        {L"Fan Kits", L"Case Fan Kit", L"Statistics", L"Fan-on hours", L"6871", L"Dec"},
        {L"Panels", L"Panel 0", L"Statistics", L"Backlight-on hours", L"20820", L"Dec"},
        {L"HDBaseT 0", L"Statistics", L"CatUndef", L"Power-on hours", L"13065h 0min"},
        {L"HDBaseT 0", L"Fans", L"Fan 1", L"Log", L"0h 45min"},
        {L"HDBaseT 0", L"Temperatures", L"Sensor 1", L"Alarm", L"0h 15min"},
        {L"HDBaseT 0", L"FPGA", L"CatUndef", L"FPGA update counter", L"4", L"Dec"},
        {L"UPS", L"Statistics", L"CatUndef", L"On-battery cycles", L"The device is not ready.", L"String", L"Failed"},
        {L"UPS", L"Status", L"CatUndef", L"Communication errors", L"0"},
    });
    std::vector<std::wstring> expected = {
        L"Old: r.xml: Kavrol Corvabox C90, PC1, 1 Dec 2026 10:00:00, Kavrol Inspectra V2.0",
        L"New: r.xml: Kavrol Corvabox C90, PC1, 1 Dec 2026 10:00:00, Kavrol Inspectra V2.0",
        L"",
        L"Status changed (1):",
        L"  UPS > Statistics > On-battery cycles: Passed -> Failed (12 -> The device is not ready.)",
        L"",
        L"Counters (7):",
        L"  Fan Kits > Case Fan Kit > Statistics > Fan-on hours: 30000 -> 6871 (-23129, reset or exchanged)",
        L"  HDBaseT 0 > Fans > Fan 1 > Log: 2h 30min -> 0h 45min (-1h 45min, reset or exchanged)",
        L"  System Unit > Statistics > Power-on cycles: 1287 -> 1300 (+13)",
        L"  System Unit > Statistics > Power-on hours: 23541 -> 24261 (+720)",
        L"  Panels > Panel 0 > Statistics > Backlight-on hours: 20100 -> 20820 (+720)",
        L"  HDBaseT 0 > Statistics > Power-on hours: 12345h 30min -> 13065h 0min (+719h 30min)",
        L"  HDBaseT 0 > FPGA > FPGA update counter: 3 -> 4 (+1)",
        L"",
        L"Results changed (1):",
        L"  UPS > Status > Communication errors: 3 -> 0",
        L"",
        L"9 differences.",
    };
    EXPECT_EQ(expected, Lines(before, after));
}

TEST(DiffCounters, PartsThatWentWholeAreOneLineEach)
{
    Report before = MakeReport({
        {L"Memory", L"Physical Memory", L"CatUndef", L"Total", L"23.54", L"GigaByte"},
        {L"Memory", L"Memory Module 1", L"Factory Settings", L"Serial number", L"E9M40183377"},
        {L"Memory", L"Memory Module 2", L"Factory Settings", L"Version", L"V1.01"},
        {L"Memory", L"Memory Module 2", L"Factory Settings", L"Serial number", L"E9M40183378"},
        {L"Memory", L"Memory Module 2", L"Factory Settings", L"Raw data", L"\n00"},
        {L"Panels", L"Panel 0", L"Status", L"Linked", L"Yes", L"YesNo"},
        {L"Panels", L"Panel 0", L"Fans", L"Panel 0 fan", L"2900", L"Rpm"},
        {L"Panels", L"Panel 0", L"Fans", L"Panel 0 fan", L"2910", L"Rpm"},
        {L"Bus Unit", L"Statistics", L"CatUndef", L"Power-on cycles", L"12", L"Dec"},
    });
    Report after = MakeReport({
        {L"Memory", L"Physical Memory", L"CatUndef", L"Total", L"23.54", L"GigaByte"},
        {L"Memory", L"Memory Module 1", L"Factory Settings", L"Serial number", L"E9M40183377"},
        {L"Panels", L"Panel 0", L"Status", L"Linked", L"Yes", L"YesNo"},
        {L"Panels", L"Panel 0", L"Keys", L"Count", L"34"},
        {L"Panels", L"Panel 3", L"Status", L"Linked", L"No", L"YesNo"},
    });
    std::vector<std::wstring> expected = {
        L"Subcategories added (1):",
        L"  Panels > Panel 0 > Keys: 1 test",
        L"",
        L"Subcategories removed (1):",
        L"  Panels > Panel 0 > Fans: 2 tests",
        L"",
        L"Categories added (1):",
        L"  Panels > Panel 3: 1 test",
        L"",
        L"Categories removed (1):",
        L"  Memory > Memory Module 2: 3 tests",
        L"",
        L"Groups removed (1):",
        L"  Bus Unit: 1 test",
        L"",
        L"5 differences.",
    };
    std::vector<std::wstring> lines = Lines(before, after);
    EXPECT_EQ(expected, std::vector<std::wstring>(lines.begin() + 3, lines.end()));
}

struct DeviceCase {
    const wchar_t* deviceType;
    const wchar_t* serial;  // null: the report has no serial number
    const wchar_t* userSerialId;
    const wchar_t* line;  // null: may be one device
};

const DeviceCase kDeviceCases[] = {
    {L"Kavrol Corvabox C90", L"E9C50172913", L"00C90017h", nullptr},
    {L"Kavrol Panevox P50", L"E9P50171123", L"00500427h",
     L"These are different devices: device type Kavrol Corvabox C90 -> Kavrol Panevox P50; serial number "
     L"E9C50172913 -> E9P50171123; User Serial ID 00C90017h -> 00500427h"},
    {L"Kavrol Corvabox C90", L"E9C50172999", L"00C90017h",
     L"These are different devices: serial number E9C50172913 -> E9C50172999"},
    {L"Kavrol Corvabox C90", L"E9C50172913", L"00000001h",
     L"These are different devices: User Serial ID 00C90017h -> 00000001h"},
    // A serial number that could not be read tells nothing.
    {L"Kavrol Corvabox C90", nullptr, L"00C90017h", nullptr},
};

Report DeviceReport(const DeviceCase& device)
{
    return MakeReport(
        {{L"General", L"User Settings", L"User Serial ID", L"Value", device.userSerialId},
         {L"System Unit", L"Factory Settings", L"CatUndef", L"Serial number",
          device.serial ? device.serial : L"The device is not ready.", L"String", device.serial ? L"Passed" : L"Failed"}},
        device.deviceType);
}

TEST(DiffCounters, TwoDevicesAreToldApartByTypeSerialNumberAndUserSerialId)
{
    Report first = DeviceReport(kDeviceCases[0]);
    for (const DeviceCase& device : kDeviceCases) {
        Comparison comparison = CompareReports(first, DeviceReport(device), 5);
        std::vector<std::wstring> lines = SplitLines(ComparisonText(first, DeviceReport(device), comparison));
        EXPECT_EQ(device.line ? device.line : L"", lines[2]) << device.serial;
        // Different devices always differ somewhere: the exit code is 1.
        if (device.line) {
            EXPECT_FALSE(comparison.changes.empty()) << device.serial;
        }
    }
}

struct ReadingCase {
    CounterKind kind;
    const wchar_t* text;
    long long reading;  // -1: no reading
};

const ReadingCase kReadings[] = {
    {CounterKind::Count, L"23541", 23541},       {CounterKind::Count, L"0", 0},
    {CounterKind::Count, L"N/A", -1},            {CounterKind::Count, L"-3", -1},
    {CounterKind::Count, L"12.5", -1},           {CounterKind::Hours, L"12345h 30min", 740730},
    {CounterKind::Hours, L"0h 0min", 0},         {CounterKind::Hours, L"2h 60min", -1},
    {CounterKind::Hours, L"2h 30", -1},          {CounterKind::Hours, L"1234", -1},
    {CounterKind::Count, L"4294967295", 4294967295LL},
};

TEST(DiffCounters, ReadingsAreCountsOrHoursTexts)
{
    for (const ReadingCase& row : kReadings) {
        long long reading = -1;
        bool read = CounterReading(row.kind, row.text, reading);
        EXPECT_EQ(row.reading >= 0, read) << row.text;
        if (read) {
            EXPECT_EQ(row.reading, reading) << row.text;
        }
    }
    EXPECT_EQ(L"-23129", CounterChangeText(CounterKind::Count, -23129));
    EXPECT_EQ(L"+0h 15min", CounterChangeText(CounterKind::Hours, 15));
}

}  // namespace
}  // namespace kvreport
