// The pure parts of the commands: what diff finds, what redact replaces, how summary
// orders and quotes, and that json is JSON.
#include "report_builder.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/diff_command.h"
#include "tools/kvreport/json_command.h"
#include "tools/kvreport/summary_command.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

namespace kvreport {
namespace {

// The comparison's lines after its header ("Old:", "New:", different devices) and the blank line.
std::vector<std::wstring> ChangeLines(const Report& before, const Report& after, double tolerance = 5)
{
    std::vector<std::wstring> lines = SplitLines(ComparisonText(before, after, CompareReports(before, after, tolerance)));
    auto blank = std::find(lines.begin(), lines.end(), L"");
    return std::vector<std::wstring>(blank == lines.end() ? blank : blank + 1, lines.end());
}

TEST(Diff, MatchesTestsByNameNotByPlace)
{
    Report before = MakeReport({
        {L"Panel", L"Factory A", L"CatUndef", L"Serial number", L"A-1"},
        {L"Panel", L"Factory B", L"CatUndef", L"Serial number", L"B-1"},
        {L"Panel", L"Sensors", L"CatUndef", L"Sensor", L"40", L"DegreeCentigrade"},
        {L"Panel", L"Sensors", L"CatUndef", L"Sensor", L"41", L"DegreeCentigrade"},
        {L"Panel", L"Sound", L"CatUndef", L"Volume", L"5", L"Dec"},
        {L"Gone", L"CatUndef", L"CatUndef", L"Only", L"x"},
    });
    Report after = MakeReport({
        {L"New", L"CatUndef", L"CatUndef", L"First", L"y"},
        {L"New", L"CatUndef", L"CatUndef", L"Second", L"z"},
        {L"Panel", L"Factory A", L"CatUndef", L"Serial number", L"A-1"},
        {L"Panel", L"Factory B", L"CatUndef", L"Serial number", L"B-2"},
        {L"Panel", L"Sensors", L"CatUndef", L"Sensor", L"40", L"DegreeCentigrade"},
        {L"Panel", L"Sensors", L"CatUndef", L"Sensor", L"80", L"DegreeCentigrade", L"Alarm"},
        {L"Panel", L"Sound", L"CatUndef", L"Loudness", L"5", L"Dec"},
    });
    std::vector<std::wstring> expected = {
        L"Status changed (1):",
        L"  Panel > Sensors > Sensor #2: Passed -> Alarm (41 \u00B0C -> 80 \u00B0C)",
        L"",
        L"Results changed (1):",
        L"  Panel > Factory B > Serial number: B-1 -> B-2",
        L"",
        L"Tests added (1):",
        L"  Panel > Sound > Loudness: 5",
        L"",
        L"Tests removed (1):",
        L"  Panel > Sound > Volume: 5",
        L"",
        L"Groups added (1):",
        L"  New: 2 tests",
        L"",
        L"Groups removed (1):",
        L"  Gone: 1 test",
        L"",
        L"6 differences.",
    };
    EXPECT_EQ(expected, ChangeLines(before, after));
}

struct Drift {
    const wchar_t* format;
    const wchar_t* before;
    const wchar_t* after;
    double tolerance;
    const wchar_t* line;  // null: within the tolerance
};

const Drift kDrifts[] = {
    {L"DegreeCentigrade", L"47", L"49", 5, nullptr},
    {L"DegreeCentigrade", L"47", L"50", 5, L"  P > T: 47 \u00B0C -> 50 \u00B0C (+3 \u00B0C)"},
    {L"Volt", L"12.00", L"11.35", 5, L"  P > T: 12.00 V -> 11.35 V (-0.65 V)"},
    {L"Rpm", L"0", L"100", 50, L"  P > T: 0 rpm -> 100 rpm (+100 rpm)"},
    {L"Percent", L"13", L"18", 5, nullptr},
    {L"Percent", L"13", L"19", 5, L"  P > T: 13% -> 19% (+6%)"},
    {L"GigaByte", L"20.32", L"19.80", 5, nullptr},
    {L"DegreeCentigrade", L"47", L"47.5", 0, L"  P > T: 47 \u00B0C -> 47.5 \u00B0C (+0.5 \u00B0C)"},
    // Negative readings (a discharging battery, a frost sensor): the tolerance is a share of the old value's size.
    {L"Ampere", L"-2.00", L"-2.09", 5, nullptr},
    {L"Ampere", L"-2.00", L"-1.91", 5, nullptr},
    {L"Ampere", L"-2.00", L"-2.15", 5, L"  P > T: -2.00 A -> -2.15 A (-0.15 A)"},
    {L"DegreeCentigrade", L"-20", L"-19", 5, nullptr},
    {L"DegreeCentigrade", L"-20", L"-18", 5, L"  P > T: -20 \u00B0C -> -18 \u00B0C (+2 \u00B0C)"},
    {L"DegreeCentigrade", L"-1", L"1", 50, L"  P > T: -1 \u00B0C -> 1 \u00B0C (+2 \u00B0C)"},
};

TEST(Diff, MeasuredValuesCountBeyondTheTolerance)
{
    for (const Drift& drift : kDrifts) {
        Report before = MakeReport({{L"P", L"CatUndef", L"CatUndef", L"T", drift.before, drift.format}});
        Report after = MakeReport({{L"P", L"CatUndef", L"CatUndef", L"T", drift.after, drift.format}});
        std::vector<std::wstring> lines = ChangeLines(before, after, drift.tolerance);
        if (!drift.line) {
            EXPECT_EQ(std::vector<std::wstring>{L"No differences."}, lines) << drift.after;
            continue;
        }
        ASSERT_EQ(4u, lines.size()) << drift.after;
        EXPECT_EQ(drift.line, lines[1]);
    }
}

TEST(Diff, WorseStatusesComeFirstAndHeaderChangesAreNamed)
{
    Report before = MakeReport({{L"P", L"A", L"CatUndef", L"Fixed", L"e", L"String", L"Failed"},
                                {L"P", L"A", L"CatUndef", L"Broke", L"1"}});
    Report after = MakeReport({{L"P", L"A", L"CatUndef", L"Fixed", L"1"},
                               {L"P", L"A", L"CatUndef", L"Broke", L"e", L"String", L"Failed"}},
                              L"Kavrol Panevox P50");
    std::vector<std::wstring> expected = {
        L"Header changed (1):",
        L"  Device type: Kavrol Corvabox C90 -> Kavrol Panevox P50",
        L"",
        L"Status changed (2):",
        L"  P > A > Broke: Passed -> Failed (1 -> e)",
        L"  P > A > Fixed: Failed -> Passed (e -> 1)",
        L"",
        L"3 differences.",
    };
    EXPECT_EQ(expected, ChangeLines(before, after));
}

SummaryRow Row(const wchar_t* path, int failed, int alarms, bool hot, double hottest)
{
    SummaryRow row;
    row.path = path;
    row.counts = {10, failed, alarms};
    row.hasHottest = hot;
    row.hottest = hottest;
    return row;
}

TEST(Summary, DevicesNeedingAttentionComeFirst)
{
    std::vector<SummaryRow> rows = {Row(L"cool", 0, 0, true, 30), Row(L"cold", 0, 0, false, 0),
                                    Row(L"failed", 2, 0, true, 40), Row(L"alarm", 0, 1, true, 35),
                                    Row(L"hot", 0, 0, true, 70), Row(L"failed2", 3, 0, false, 0)};
    SortForAttention(rows);
    std::vector<std::wstring> order;
    for (const SummaryRow& row : rows)
        order.push_back(row.path);
    EXPECT_EQ((std::vector<std::wstring>{L"alarm", L"failed2", L"failed", L"hot", L"cool", L"cold"}), order);
}

TEST(Summary, CsvQuotesAndNeverStartsAFormula)
{
    Report report = MakeReport({{L"BIOS", L"CatUndef", L"CatUndef", L"Version", L"V1,2 \"x\""},
                                {L"CPU", L"T", L"CatUndef", L"Internal", L"-5", L"DegreeCentigrade"}});
    report.header.computerName = L"=HYPERLINK(\"x\")";
    std::string csv = SummaryCsv({Summarise(report)});
    std::string expected =
        "\xEF\xBB\xBF"
        "Computer,Device type,Serial number,User Serial ID,Date,Time,Program version,BIOS version,Tests,Failed,"
        "Alarms,Hottest sensor,\xC2\xB0"
        "C,Note,File\r\n"
        "\"'=HYPERLINK(\"\"x\"\")\",Kavrol Corvabox C90,,,2026-12-01,10:00:00,Kavrol Inspectra V2.0,"
        "\"V1,2 \"\"x\"\"\",2,0,0,CPU > T > Internal,-5.00,,r.xml\r\n";
    EXPECT_EQ(expected, csv);
}

TEST(Json, IsJsonWithTheTreeAndNumbers)
{
    Report report = MakeReport({{L"P", L"C", L"S", L"Quote \"\\", L"a\nb\x01", L"String"},
                                {L"P", L"C", nullptr, L"Fan", L"2400", L"Rpm", L"Alarm"}});
    nlohmann::json json = nlohmann::json::parse(ReportJson(report));
    EXPECT_EQ("PC1", json["header"]["computerName"]);
    EXPECT_EQ(1, json["counts"]["alarms"]);
    const nlohmann::json& category = json["groups"][0]["categories"][0];
    EXPECT_EQ("Quote \"\\", category["subcategories"][0]["tests"][0]["name"]);
    EXPECT_EQ("a\nb\x01", category["subcategories"][0]["tests"][0]["result"]);
    EXPECT_FALSE(category["subcategories"][0]["tests"][0].contains("value"));
    EXPECT_TRUE(category["subcategories"][1]["name"].is_null());
    EXPECT_EQ(2400, category["subcategories"][1]["tests"][0]["value"]);
    EXPECT_EQ(2, category["subcategories"][1]["tests"][0]["number"]);
}

TEST(Json, PlaceholdersAreNull)
{
    Report report = MakeReport({{L"P", L"CatUndef", L"CatUndef", L"T", L"1"}});
    nlohmann::json json = nlohmann::json::parse(ReportJson(report));
    const nlohmann::json& category = json["groups"][0]["categories"][0];
    EXPECT_TRUE(json["groups"][0]["description"].is_null());
    EXPECT_TRUE(category["name"].is_null());
    EXPECT_TRUE(category["subcategories"][0]["name"].is_null());
    EXPECT_TRUE(category["subcategories"][0]["tests"][0]["description"].is_null());
    EXPECT_EQ("T", category["subcategories"][0]["tests"][0]["name"]);
}

TEST(CommandLine, OptionsTakeOneValueUnlessRepeatable)
{
    Arguments parsed;
    std::wstring error;
    std::vector<OptionRule> rules = {{L"--html", false}, {L"--keep", true}};
    ASSERT_TRUE(ParseArguments({L"a", L"--html=x.html", L"--keep", L"serial", L"b", L"--keep=raw"}, rules, parsed,
                               error));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), parsed.positional);
    EXPECT_EQ(L"x.html", parsed.Value(L"--html"));
    EXPECT_EQ((std::vector<std::wstring>{L"serial", L"raw"}), parsed.options[L"--keep"]);
    EXPECT_FALSE(ParseArguments({L"--html", L"a", L"--html", L"b"}, rules, parsed, error));
    EXPECT_EQ(L"--html is given twice", error);
    EXPECT_FALSE(ParseArguments({L"--csv", L"a"}, rules, parsed, error));
    EXPECT_EQ(L"unknown option --csv", error);
    EXPECT_FALSE(ParseArguments({L"a", L"--html"}, rules, parsed, error));
    EXPECT_EQ(L"--html needs a value", error);
}

TEST(CommandLine, ThreadsAreAWholeNumberFromOneTo64)
{
    struct Case {
        std::vector<std::wstring> args;
        unsigned threads;     // 0: as many as processors
        const wchar_t* error;
    };
    const Case cases[] = {
        {{L"a"}, 0, L""},
        {{L"a", L"--threads", L"1"}, 1, L""},
        {{L"a", L"--threads=64"}, 64, L""},
        {{L"a", L"--threads", L"0"}, 0, L"--threads wants a number from 1 to 64, not 0"},
        {{L"a", L"--threads", L"65"}, 0, L"--threads wants a number from 1 to 64, not 65"},
        {{L"a", L"--threads", L"two"}, 0, L"--threads wants a number from 1 to 64, not two"},
        {{L"a", L"--threads", L"-1"}, 0, L"--threads wants a number from 1 to 64, not -1"},
        {{L"a", L"--threads", L"99999999999"}, 0, L"--threads wants a number from 1 to 64, not 99999999999"},
    };
    for (const Case& c : cases) {
        Arguments parsed;
        std::wstring error;
        ASSERT_TRUE(ParseArguments(c.args, {{L"--threads", false}}, parsed, error)) << c.args.back();
        unsigned threads = 99;
        EXPECT_EQ(*c.error == 0, ReaderThreadsOption(parsed, threads, error)) << c.args.back();
        EXPECT_EQ(c.threads, threads) << c.args.back();
        EXPECT_EQ(c.error, error) << c.args.back();
    }
}

}  // namespace
}  // namespace kvreport
