// The reader over reports written by hand: the odd layouts the writer can produce,
// and damage, each with the file and line named.
#include "report_builder.h"

#include "tools/kvreport/files.h"
#include "tools/kvreport/redact_command.h"
#include "tools/kvreport/report_reader.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(unsigned(kHasDescription | kHasNumber), opened[1].tests[0].parts);
    const ReportSubCategory& direct = group.categories[1].subcategories.at(0);
    EXPECT_FALSE(direct.element);
    EXPECT_EQ(L"Panel > Direct > Loose", TestLabel(group, group.categories[1], direct, direct.tests.at(0)));
    EXPECT_EQ(41, direct.tests[0].line);
    EXPECT_EQ(1, CountTests(report).alarms);
}

TEST(ReportReader, WrittenBackLineForLineInTheProgramsLayout)
{
    Report report;
    std::wstring error;
    ASSERT_TRUE(ParseReport(L"r.xml", JoinLines(kOddReport), report, error)) << error;
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    std::wstring path = JoinPath(folder, L"kvreport_roundtrip\\r.xml");
    ::CreateDirectoryW(JoinPath(folder, L"kvreport_roundtrip").c_str(), nullptr);
    ASSERT_EQ(0u, WriteReport(report, path));
    std::string bytes;
    std::string stylesheet;
    DWORD code = 0;
    ASSERT_TRUE(ReadWholeFile(path, bytes, code));
    ASSERT_TRUE(ReadWholeFile(path.substr(0, path.size() - 3) + L"xsl", stylesheet, code));
    ::DeleteFileW(path.c_str());
    ::DeleteFileW((path.substr(0, path.size() - 3) + L"xsl").c_str());
    ::RemoveDirectoryW(JoinPath(folder, L"kvreport_roundtrip").c_str());

    ASSERT_EQ("\xFF\xFE", bytes.substr(0, 2));
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(&text[0], bytes.data() + 2, text.size() * 2);
    EXPECT_EQ(SplitLines(JoinLines(kOddReport)), SplitLines(text));
    EXPECT_EQ("\xEF\xBB\xBF<?xml", stylesheet.substr(0, 8));
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
    {L"Loose</TestName>", L"Loose",
     L"r.xml, line 42: the report ends inside <TestGroup> of line 12: the scan did not finish, or the file was cut "
     L"short"},
};

TEST(ReportReader, DamageIsToldWithFileAndLine)
{
    for (const Damage& damage : kDamages) {
        std::wstring text = Replaced(damage.what, damage.by);
        // The cut-off case ends where the damage is.
        if (std::wstring(damage.by) == L"Loose")
            text.erase(text.find(L"Loose") + 5);
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

}  // namespace
}  // namespace kvreport
