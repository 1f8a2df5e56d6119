// check over reports written by hand: a report that keeps every rule has no finding, and
// each broken rule is found once, with its line, its test and the rule.
#include "report_builder.h"

#include "tools/kvreport/check_command.h"
#include "tools/kvreport/raw_dump_text.h"
#include "tools/kvreport/report_reader.h"

#include "device/raw_dump.h"

#include <gtest/gtest.h>

namespace kvreport {
namespace {

struct Result {
    const wchar_t* format;
    const wchar_t* text;
    const wchar_t* status;
};

// A result of every Format and the words that stand for any value.
const Result kGood[] = {
    {L"String", L"any text", L"Passed"},     {L"Unknown", L"Valid", L"Passed"},
    {L"Dec", L"-3", L"Passed"},              {L"Hex", L"00C9001a", L"Passed"},
    {L"Raw", L"\r\n0102", L"Passed"},        {L"MHz", L"1600", L"Passed"},
    {L"DegreeCentigrade", L"-10.00", L"Alarm"}, {L"Percent", L"13", L"Passed"},
    {L"Volt", L"1.234", L"Passed"},          {L"Ampere", L"-0.5", L"Passed"},
    {L"YesNo", L"No", L"Passed"},            {L"EnableDisable", L"Enabled", L"Passed"},
    {L"Rpm", L"2400", L""},                  {L"Dec", L"N/A", L"Passed"},
    {L"Volt", L"The device is not ready.", L"Failed"},
    {L"Minutes", L"(unknown type)", L"Passed"}, {L"YesNo", L"Enabled", L"Passed"},
};

// The report's lines: header, one group, one test per result, numbered 1, 2, 3, ... (the
// raw dump takes two lines).
std::vector<std::wstring> GoodLines()
{
    std::vector<std::wstring> lines = {
        L"<?xml version=\"1.0\" encoding=\"utf-16\"?>",
        L"<?xml-stylesheet type=\"text/xsl\" href=\"r.xsl\"?>",
        L"<KvInspectraReport>",
        L"\t<Header>",
        L"\t\t<Version>Kavrol Inspectra V2.0</Version>",
        L"\t\t<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>",
        L"\t\t<Time>09:05:00</Time>",
        L"\t\t<Date>8 Dec 2026</Date>",
        L"\t\t<Author>tech</Author>",
        L"\t\t<ComputerName>PC1</ComputerName>",
        L"\t</Header>",
        L"\t<TestGroup>",
        L"\t\t<GroupNumber>1</GroupNumber>",
        L"\t\t<GroupName>G</GroupName>",
        L"\t\t\t\t\t\t\t<GroupDescription>DescrUndef</GroupDescription>",
        L"\t\t<Category>",
        L"\t\t\t<CategoryName>CatUndef</CategoryName>",
        L"\t\t\t\t<SubCategory>",
        L"\t\t\t\t\t<SubCategoryName>CatUndef</SubCategoryName>",
    };
    int number = 0;
    for (const Result& result : kGood) {
        lines.push_back(L"\t\t\t\t\t\t<Test>");
        lines.push_back(L"\t\t\t\t\t\t\t<TestName>T" + std::to_wstring(number + 1) + L"</TestName>");
        lines.push_back(L"\t\t\t\t\t\t\t<TestDescription>DescrUndef</TestDescription>");
        lines.push_back(L"\t\t\t\t\t\t\t<TestNumber>" + std::to_wstring(++number) + L"</TestNumber>");
        lines.push_back(std::wstring(L"\t\t\t\t\t\t\t<TestResult Format=\"") + result.format + L"\">" + result.text +
                        L"</TestResult>");
        lines.push_back(std::wstring(L"\t\t\t\t\t\t\t<TestStatus>") + result.status + L"</TestStatus>");
        lines.push_back(L"\t\t\t\t\t\t</Test>");
    }
    for (const wchar_t* end : {L"\t\t\t</SubCategory>", L"\t\t</Category>", L"\t</TestGroup>", L"</KvInspectraReport>"})
        lines.push_back(end);
    return lines;
}

std::vector<std::wstring> Findings(const std::wstring& text)
{
    Report report;
    std::wstring error;
    EXPECT_TRUE(ParseReport(L"r.xml", text, report, error)) << error;
    std::vector<std::wstring> lines;
    for (const Finding& finding : CheckReport(report))
        lines.push_back(L"line " + std::to_wstring(finding.line) + L", " + finding.where + L": " + finding.rule);
    return lines;
}

TEST(Check, AReportThatKeepsEveryRuleHasNoFinding)
{
    EXPECT_EQ(std::vector<std::wstring>(), Findings(JoinLines(GoodLines())));
}

struct Broken {
    const wchar_t* what;
    const wchar_t* by;
    const wchar_t* finding;
};

const Broken kBroken[] = {
    {L"<Version>Kavrol Inspectra V2.0<", L"<Version>Inspectra 2<",
     L"line 5, header <Version>: \"Inspectra 2\" is not \"Kavrol Inspectra V2.0\""},
    {L">Kavrol Corvabox C90<", L">Corvabox<",
     L"line 6, header <KvDeviceType>: \"Corvabox\" is not a model name (\"Kavrol Corvabox C90\"), \"Unknown\" or "
     L"\"Not supported\""},
    {L"09:05:00", L"9:5:0", L"line 7, header <Time>: \"9:5:0\" is not a time hh:mm:ss"},
    {L"8 Dec 2026", L"yesterday", L"line 8, header <Date>: \"yesterday\" is not a date such as \"8 Dec 2026\""},
    {L"<GroupNumber>1<", L"<GroupNumber>2<", L"line 13, group \"G\": <GroupNumber> is 2 where 1 follows"},
    {L"<TestNumber>17<", L"<TestNumber>18<", L"line 136, test 18 (G > T17): <TestNumber> is 18 where 17 follows"},
    {L">-3<", L">lots<", L"line 38, test 3 (G > T3): a Dec result is a decimal number, not \"lots\""},
    {L">00C9001a<", L">00C9001Ah<", L"line 45, test 4 (G > T4): a Hex result is hexadecimal digits, not \"00C9001Ah\""},
    {L">\r\n0102<", L">hello<",
     L"line 52, test 5 (G > T5): a Raw result is a hexadecimal dump: a dump starts with a line break"},
    {L">\r\n0102<", L">\r\n01020<",
     L"line 52, test 5 (G > T5): a Raw result is a hexadecimal dump: line 1 of the dump holds 5 characters, not 2 to "
     L"32 in pairs"},
    {L">\r\n0102<", L">\r\n0102\r\n0304<",
     L"line 52, test 5 (G > T5): a Raw result is a hexadecimal dump: line 1 of the dump holds 2 bytes; only the last "
     L"may hold fewer than 16"},
    {L">\r\n0102<", L">\r\n01ab<",
     L"line 52, test 5 (G > T5): a Raw result is a hexadecimal dump: line 1 of the dump holds \"ab\", not two "
     L"upper-case hexadecimal digits"},
    {L">\r\n0102<", L">\r\n0102\r\n(remaining 12 bytes are FF)<",
     L"line 52, test 5 (G > T5): a Raw result is a hexadecimal dump: the remark on left-out FF bytes follows 2 bytes; "
     L"the first 256 are always shown"},
    {L">-10.00<", L">cold<", L"line 67, test 7 (G > T7): a DegreeCentigrade result is a number, not \"cold\""},
    {L">1.234<", L">12<", L"line 81, test 9 (G > T9): a Volt result is a number with decimals, not \"12\""},
    {L">No<", L">Maybe<", L"line 95, test 11 (G > T11): a YesNo result is \"Yes\" or \"No\" (\"Enabled\" or \"Disabled\"), not "
     L"\"Maybe\""},
    {L">Enabled<", L">On<",
     L"line 102, test 12 (G > T12): a EnableDisable result is \"Enabled\" or \"Disabled\", not \"On\""},
    {L"\"Rpm\">2400<", L"\"Rpm\">2400 rpm<", L"line 109, test 13 (G > T13): a Rpm result is a number, not \"2400 rpm\""},
    {L"\"Unknown\"", L"\"Foo\"", L"line 31, test 2 (G > T2): the Format \"Foo\" is none of the report format"},
    {L">Alarm<", L">Hot<",
     L"line 68, test 7 (G > T7): \"Hot\" is no status: \"Passed\", \"Failed\", \"Alarm\" or empty"},
};

TEST(Check, EachBrokenRuleIsOneFindingWithLineTestAndRule)
{
    const std::wstring good = JoinLines(GoodLines());
    for (const Broken& broken : kBroken) {
        std::wstring text = good;
        size_t at = text.find(broken.what);
        ASSERT_NE(std::wstring::npos, at) << broken.what;
        text.replace(at, wcslen(broken.what), broken.by);
        EXPECT_EQ(std::vector<std::wstring>{broken.finding}, Findings(text)) << broken.by;
    }
}

TEST(Check, AnIncompleteReportIsCheckedAsFarAsItGoes)
{
    std::vector<std::wstring> lines = GoodLines();
    lines.resize(40);
    lines[37] = L"\t\t\t\t\t\t\t<TestResult Format=\"Dec\">lots</TestResult>";
    EXPECT_EQ(std::vector<std::wstring>{L"line 38, test 3 (G > T3): a Dec result is a decimal number, not \"lots\""},
              Findings(JoinLines(lines)));
}

struct Block {
    const char* what;
    size_t length;
    size_t ffFrom;  // bytes from here on are FF
};
const Block kBlocks[] = {
    {"no bytes", 0, 0},          {"17 bytes", 17, 17},           {"256 FF bytes", 256, 0},
    {"300 bytes, 44 FF", 300, 256}, {"2048 bytes, 1000 FF", 2048, 1048}, {"2048 bytes, the last FF", 2048, 2047},
    {"512 bytes, no FF", 512, 512},
};

// What the program writes, the reader takes back byte for byte.
TEST(Check, EveryDumpTheProgramWritesReadsBackToItsBytes)
{
    for (const Block& block : kBlocks) {
        std::vector<unsigned char> bytes(block.length, 0xFF);
        for (size_t i = 0; i < block.ffFrom; ++i)
            bytes[i] = static_cast<unsigned char>(i * 7 % 255);
        std::wstring text;
        kv::FormatRawData(bytes.data(), bytes.size(), text);
        std::wstring parsed;  // as the parser hands it over: line feeds only
        for (wchar_t c : text)
            if (c != L'\r')
                parsed += c;
        std::vector<unsigned char> back;
        std::wstring problem;
        EXPECT_TRUE(ParseRawDump(parsed, back, problem)) << block.what << ": " << problem;
        EXPECT_EQ(bytes, back) << block.what;
    }
}

}  // namespace
}  // namespace kvreport
