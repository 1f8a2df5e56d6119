// The reader over reports written by hand: the odd layouts the writer can produce,
// and damage, each with the file and line named.
#include "report_builder.h"

#include "tools/kvreport/files.h"
#include "tools/kvreport/report_writer.h"
#include "tools/kvreport/report_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kvreport {
namespace {

// Escapes, a raw dump with CR LF, a forbidden character already replaced (U+FFFD), a
// subcategory opened on its own (3 tabs) beside one opened with its category (4), a
// test whose result line is missing, and a test straight under its category.
const std::vector<std::wstring> kOddReport = {
    L"<?xml version=\"1.0\" encoding=\"utf-16\"?>",
    L"<?xml-stylesheet type=\"text/xsl\" href=\"r.xsl\"?>",
    L"<KvInspectraReport>",
    L"\t<Header>",
    L"\t\t<Version>Kavrol Inspectra V2.0</Version>",
    L"\t\t<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>",
    L"\t\t<Time>10:00:00</Time>",
    L"\t\t<Date>1 Dec 2026</Date>",
    L"\t\t<Author>tech</Author>",
    L"\t\t<ComputerName>PC1</ComputerName>",
    L"\t</Header>",
    L"\t<TestGroup>",
    L"\t\t<GroupNumber>1</GroupNumber>",
    L"\t\t<GroupName>Panel</GroupName>",
    L"\t\t\t\t\t\t\t<GroupDescription>DescrUndef</GroupDescription>",
    L"\t\t<Category>",
    L"\t\t\t<CategoryName>Display &amp; keys</CategoryName>",
    L"\t\t\t\t<SubCategory>",
    L"\t\t\t\t\t<SubCategoryName>CatUndef</SubCategoryName>",
    L"\t\t\t\t\t\t<Test>",
    L"\t\t\t\t\t\t\t<TestName>Text &lt;&quot;&amp;&gt;</TestName>",
    L"\t\t\t\t\t\t\t<TestDescription>DescrUndef</TestDescription>",
    L"\t\t\t\t\t\t\t<TestNumber>1</TestNumber>",
    L"\t\t\t\t\t\t\t<TestResult Format=\"Raw\">\r\n00FF\r\nA\xFFFD'</TestResult>",
    L"\t\t\t\t\t\t\t<TestStatus>Passed</TestStatus>",
    L"\t\t\t\t\t\t</Test>",
    L"\t\t\t</SubCategory>",
    L"\t\t\t<SubCategory>",
    L"\t\t\t\t<SubCategoryName>Manual</SubCategoryName>",
    L"\t\t\t\t\t\t<Test>",
    L"\t\t\t\t\t\t\t<TestName>Half</TestName>",
    L"\t\t\t\t\t\t\t<TestDescription>DescrUndef</TestDescription>",
    L"\t\t\t\t\t\t\t<TestNumber>2</TestNumber>",
    L"\t\t\t\t\t\t</Test>",
    L"\t\t\t</SubCategory>",
    L"\t\t</Category>",
    L"\t\t<Category>",
    L"\t\t\t<CategoryName>Direct</CategoryName>",
    L"\t\t\t\t\t\t<Test>",
    L"\t\t\t\t\t\t\t<TestName>Loose</TestName>",
    L"\t\t\t\t\t\t\t<TestDescription>DescrUndef</TestDescription>",
    L"\t\t\t\t\t\t\t<TestNumber>3</TestNumber>",
    L"\t\t\t\t\t\t\t<TestResult Format=\"Volt\">12.05</TestResult>",
    L"\t\t\t\t\t\t\t<TestStatus>Alarm</TestStatus>",
    L"\t\t\t\t\t\t</Test>",
    L"\t\t</Category>",
    L"\t</TestGroup>",
    L"</KvInspectraReport>",
};

std::wstring Replaced(const std::wstring& what, const std::wstring& by)
{
    std::wstring text = JoinLines(kOddReport);
    text.replace(text.find(what), what.size(), by);
    return text;
}

TEST(ReportReader, OddLayoutsReadIntoTheModel)
{
    Report report;
    std::wstring error;
    ASSERT_TRUE(ParseReport(L"r.xml", JoinLines(kOddReport), report, error)) << error;
    ASSERT_EQ(1u, report.groups.size());
    const ReportGroup& group = report.groups[0];
    ASSERT_EQ(2u, group.categories.size());
    EXPECT_EQ(L"Display & keys", group.categories[0].name);
    const std::vector<ReportSubCategory>& opened = group.categories[0].subcategories;
    ASSERT_EQ(2u, opened.size());
    EXPECT_EQ(4, opened[0].depth);
    EXPECT_EQ(3, opened[1].depth);
    EXPECT_EQ(L"Text <\"&>", opened[0].tests[0].name);
    EXPECT_EQ(L"\n00FF\nA\xFFFD'", opened[0].tests[0].result);
    EXPECT_EQ(unsigned(kHasName | kHasDescription | kHasNumber), opened[1].tests[0].parts);
    const ReportSubCategory& direct = group.categories[1].subcategories.at(0);
    EXPECT_FALSE(direct.element);
    EXPECT_EQ(L"Panel > Direct > Loose", TestLabel(group, group.categories[1], direct, direct.tests.at(0)));
    EXPECT_EQ(41, direct.tests[0].line);
    EXPECT_EQ(1, CountTests(report).alarms);
}

// The report written back through redact's writer, as lines, and its stylesheet's first bytes.
std::vector<std::wstring> WrittenBack(const Report& report, std::string* stylesheet = nullptr)
{
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = JoinPath(temp, L"kvreport_roundtrip");
    std::wstring path = JoinPath(folder, L"r.xml");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::string bytes;
    DWORD code = WriteReport(report, path);
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(code == 0 && ReadWholeFile(path, bytes, code));
    if (stylesheet)
        ReadWholeFile(JoinPath(folder, L"r.xsl"), *stylesheet, code);
    ::DeleteFileW(path.c_str());
    ::DeleteFileW(JoinPath(folder, L"r.xsl").c_str());
    ::RemoveDirectoryW(folder.c_str());
    if (bytes.size() < 2 || bytes.substr(0, 2) != "\xFF\xFE")
        return {L"(no byte-order mark)"};
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(&text[0], bytes.data() + 2, text.size() * 2);
    return SplitLines(text);
}

TEST(ReportReader, WrittenBackLineForLineInTheProgramsLayout)
{
    Report report;
    std::wstring error;
    ASSERT_TRUE(ParseReport(L"r.xml", JoinLines(kOddReport), report, error)) << error;
    std::string stylesheet;
    EXPECT_EQ(SplitLines(JoinLines(kOddReport)), WrittenBack(report, &stylesheet));
    EXPECT_EQ("\xEF\xBB\xBF<?xml", stylesheet.substr(0, 8));
}

// A stopped scan leaves its report whole up to a line end, or with part of a last line.
// Cut after any line, it reads as far as it goes, says where it stopped, and is written
// back as exactly its whole lines: nothing closed that the scan never closed. Only a
// result cut between its own lines (a raw dump) goes, with its part lines.
TEST(ReportReader, ReportCutAfterAnyLineIsReadAsFarAsItGoes)
{
    const std::vector<std::wstring> lines = SplitLines(JoinLines(kOddReport));
    const size_t rawStart = 23;  // the raw dump's first line, and two more to its end tag
    ASSERT_EQ(0u, lines[rawStart].find(L"\t\t\t\t\t\t\t<TestResult Format=\"Raw\">"));
    for (size_t count = 1; count <= lines.size(); ++count) {
        std::vector<std::wstring> kept(lines.begin(), lines.begin() + count);
        for (const wchar_t* partLine : {L"", L"\t\t\t\t\t\t\t<TestNa"}) {
            Report report;
            std::wstring error;
            ASSERT_TRUE(ParseReport(L"r.xml", JoinLines(kept) + partLine, report, error)) << count << ": " << error;
            EXPECT_EQ(count == lines.size(), report.complete) << count;
            // Cut after the declaration, the report still refers to its stylesheet.
            bool inRaw = count > rawStart && count < rawStart + 3;
            size_t written = inRaw ? rawStart : std::max<size_t>(count, 2);
            std::vector<std::wstring> expected(lines.begin(), lines.begin() + written);
            EXPECT_EQ(expected, WrittenBack(report)) << count;
        }
    }
}

struct Stop {
    const wchar_t* lastLine;  // the report is cut after the first line that starts so
    const wchar_t* text;
};
const Stop kStops[] = {
    {L"<?xml-stylesheet", L"incomplete: stopped before the first group"},
    {L"\t</Header>", L"incomplete: stopped before the first group"},
    {L"\t<TestGroup>", L"incomplete: stopped in group 1"},
    {L"\t\t<GroupNumber>", L"incomplete: stopped in group 1"},
    {L"\t\t<GroupName>", L"incomplete: stopped in group 1, Panel"},
    {L"\t</TestGroup>", L"incomplete: stopped in group 1, Panel"},
    {L"</KvInspectraReport>", L""},
};

TEST(ReportReader, AnIncompleteReportSaysWhereItStopped)
{
    const std::vector<std::wstring> lines = SplitLines(JoinLines(kOddReport));
    for (const Stop& stop : kStops) {
        auto last = std::find_if(lines.begin(), lines.end(),
                                 [&](const std::wstring& line) { return line.find(stop.lastLine) == 0; });
        ASSERT_NE(lines.end(), last) << stop.lastLine;
        Report report;
        std::wstring error;
        ASSERT_TRUE(ParseReport(L"r.xml", JoinLines({lines.begin(), last + 1}), report, error)) << error;
        EXPECT_EQ(stop.text, IncompleteText(report)) << stop.lastLine;
    }
}

struct Damage {
    const wchar_t* what;
    const wchar_t* by;
    const wchar_t* message;
};

const Damage kDamages[] = {
    {L"<KvInspectraReport>", L"<Report>",
     L"r.xml, line 3: not a report of Kavrol Inspectra: its root element is <Report>, not <KvInspectraReport>"},
    {L"<TestNumber>2</TestNumber>", L"<TestNumber>2</TestNumber><TestNumber>2</TestNumber>",
     L"r.xml, line 35: a second <TestNumber> in <Test>"},
    {L"<TestNumber>3<", L"<TestNumber>three<", L"r.xml, line 44: <TestNumber> holds \"three\", not a number"},
    {L"\t\t<GroupName>Panel</GroupName>\r\n", L"", L"r.xml, line 48: the <TestGroup> of line 12 has no <GroupName>"},
    {L">Loose<", L"><b>Loose</b><", L"r.xml, line 42: <b> inside <TestName>, which holds text only"},
    {L"<TestStatus>Alarm", L"<Remark/><TestStatus>Alarm", L"r.xml, line 46: unexpected element <Remark> in <Test>"},
    {L"<CategoryName>Direct</CategoryName>", L"<CategoryName>Direct</CategoryName>stray",
     L"r.xml, line 41: text outside of the elements of <Category>"},
};

TEST(ReportReader, DamageIsToldWithFileAndLine)
{
    for (const Damage& damage : kDamages) {
        std::wstring text = Replaced(damage.what, damage.by);
        Report report;
        std::wstring error;
        EXPECT_FALSE(ParseReport(L"r.xml", text, report, error)) << damage.what;
        EXPECT_EQ(damage.message, error);
    }
}

TEST(ReportReader, BrokenXmlIsToldWithLineAndColumn)
{
    Report report;
    std::wstring error;
    EXPECT_FALSE(ParseReport(L"r.xml", Replaced(L"</GroupName>", L"</GroupNam>"), report, error));
    EXPECT_EQ(0u, error.find(L"r.xml, line 14, column ")) << error;
    EXPECT_NE(std::wstring::npos, error.find(L": the XML is damaged: ")) << error;
}

// Only the end of a file is where a scan stopped: a line cut short before it, or a
// broken last line, is damage.
TEST(ReportReader, ALineCutShortInsideTheFileIsDamage)
{
    const std::pair<const wchar_t*, const wchar_t*> damages[] = {
        {L"Loose</TestName>", L"Loose"},
        {L"</KvInspectraReport>", L"</KvInspectraReport"},
        {L"\t</TestGroup>\r\n</KvInspectraReport>", L"\t</TestGroup\r\n"},
    };
    for (const auto& damage : damages) {
        Report report;
        std::wstring error;
        EXPECT_FALSE(ParseReport(L"r.xml", Replaced(damage.first, damage.second), report, error)) << damage.second;
        EXPECT_EQ(0u, error.find(L"r.xml, line ")) << error;
    }
}

}  // namespace
}  // namespace kvreport
