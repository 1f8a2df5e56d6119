// The test hierarchy as the report holds it: every line with its own tab count,
// the numbering across groups, the placeholders, and what a failing line leaves.
#include "report_file.h"

#include "report/xml_writer.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace kv {
namespace {

const DWORD kWriteFault = ERROR_WRITE_FAULT;

// One report line: tabs, then the text.
std::wstring Line(int tabs, const std::wstring& text) { return std::wstring(tabs, L'\t') + text; }

// The lines joined as the file holds them: every line ends in CR LF.
std::wstring Text(std::initializer_list<std::wstring> lines)
{
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    return text;
}

// Lines of the report that start with the given text after their tabs.
std::vector<std::wstring> LinesWith(const std::vector<std::wstring>& lines, const std::wstring& start)
{
    std::vector<std::wstring> found;
    for (const std::wstring& line : lines) {
        size_t text = line.find_first_not_of(L'\t');
        if (text != std::wstring::npos && line.compare(text, start.size(), start) == 0)
            found.push_back(line);
    }
    return found;
}

class TestHierarchy : public ::testing::Test {
protected:
    TestHierarchy() { m_writer.file = m_report.handle(); }
    std::wstring Content() const { return m_report.Content(); }

    TempReport m_report;
    ReportWriter m_writer;
};

TEST_F(TestHierarchy, GroupWithSubcategoryAndOneTestWritesEveryLineWithItsTabCount)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(L"BIOS", L"Contains BIOS tests.", L"Firmware", L"Versions"));
    EXPECT_EQ(0u, m_writer.BeginTest(L"Version", L"The BIOS version."));
    EXPECT_EQ(0u, m_writer.WriteResult(L"1.21", kPassed, kFmtString));
    EXPECT_EQ(0u, m_writer.EndTest());
    EXPECT_EQ(0u, m_writer.EndGroup());
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>BIOS</GroupName>"),
                  Line(2, L"<GroupDescription>Contains BIOS tests.</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>Firmware</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>Versions</SubCategoryName>"),
                  Line(6, L"<Test>"),
                  Line(7, L"<TestName>Version</TestName>"),
                  Line(7, L"<TestDescription>The BIOS version.</TestDescription>"),
                  Line(7, L"<TestNumber>1</TestNumber>"),
                  Line(7, L"<TestResult Format=\"String\">1.21</TestResult>"),
                  Line(7, L"<TestStatus>Passed</TestStatus>"),
                  Line(6, L"</Test>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(1, L"</TestGroup>"),
              }),
              Content());
    EXPECT_EQ(0, m_writer.subCategoryOpen);
}

// A missing or empty description, a missing category and subcategory name.
class MissingGroupTexts : public TestHierarchy, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(MissingGroupTexts, GroupPlaceholdersAreDescrUndefAtSevenTabsAndCatUndef)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(L"Memory", GetParam(), nullptr, nullptr));
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>Memory</GroupName>"),
                  Line(7, L"<GroupDescription>DescrUndef</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>CatUndef</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>CatUndef</SubCategoryName>"),
              }),
              Content());
    EXPECT_EQ(1, m_writer.subCategoryOpen);
}

TEST_P(MissingGroupTexts, TestWithoutDescriptionGetsDescrUndef)
{
    EXPECT_EQ(0u, m_writer.BeginTest(L"Total", GetParam()));
    EXPECT_EQ(Text({
                  Line(6, L"<Test>"),
                  Line(7, L"<TestName>Total</TestName>"),
                  Line(7, L"<TestDescription>DescrUndef</TestDescription>"),
                  Line(7, L"<TestNumber>1</TestNumber>"),
              }),
              Content());
}

INSTANTIATE_TEST_SUITE_P(NullOrEmpty, MissingGroupTexts, ::testing::Values(nullptr, L""),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.param ? "Empty" : "Null");
                         });

TEST_F(TestHierarchy, AnEmptyCategoryNameIsWrittenEmptyNotAsCatUndef)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"", L""));
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>G</GroupName>"),
                  Line(2, L"<GroupDescription>D</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName></CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName></SubCategoryName>"),
              }),
              Content());
}

TEST_F(TestHierarchy, GroupAndTestNumbersRunOnAcrossGroups)
{
    for (int group = 0; group < 2; ++group) {
        ASSERT_EQ(0u, m_writer.BeginGroup(L"G", nullptr, nullptr, nullptr));
        for (int test = 0; test < 3; ++test) {
            ASSERT_EQ(0u, m_writer.BeginTest(L"T", nullptr));
            ASSERT_EQ(0u, m_writer.WriteResult(L"v", kPassed, kFmtDec));
            ASSERT_EQ(0u, m_writer.EndTest());
        }
        ASSERT_EQ(0u, m_writer.EndGroup());
    }
    std::vector<std::wstring> lines = m_report.Lines();
    EXPECT_EQ((std::vector<std::wstring>{Line(2, L"<GroupNumber>1</GroupNumber>"), Line(2, L"<GroupNumber>2</GroupNumber>")}),
              LinesWith(lines, L"<GroupNumber>"));
    EXPECT_EQ((std::vector<std::wstring>{
                  Line(7, L"<TestNumber>1</TestNumber>"), Line(7, L"<TestNumber>2</TestNumber>"),
                  Line(7, L"<TestNumber>3</TestNumber>"), Line(7, L"<TestNumber>4</TestNumber>"),
                  Line(7, L"<TestNumber>5</TestNumber>"), Line(7, L"<TestNumber>6</TestNumber>"),
              }),
              LinesWith(lines, L"<TestNumber>"));
    EXPECT_EQ(2, m_writer.groupCounter);
    EXPECT_EQ(6, m_writer.testCounter);
}

TEST_F(TestHierarchy, ManualSubCatsOpensNoSubcategoryAndEndGroupClosesNone)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(L"General", L"D", L"User Settings", L"MANUALSUBCATS"));
    EXPECT_EQ(0, m_writer.subCategoryOpen);
    EXPECT_EQ(0u, m_writer.EndGroup());
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>General</GroupName>"),
                  Line(2, L"<GroupDescription>D</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>User Settings</CategoryName>"),
                  Line(2, L"</Category>"),
                  Line(1, L"</TestGroup>"),
              }),
              Content());
}

TEST_F(TestHierarchy, OnlyTheExactManualSubCatsWordSuppressesTheSubcategory)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C", L"manualsubcats"));
    EXPECT_EQ(0u, m_writer.BeginCategory(L"C2", L"MANUALSUBCATS "));
    std::vector<std::wstring> lines = m_report.Lines();
    EXPECT_EQ((std::vector<std::wstring>{Line(5, L"<SubCategoryName>manualsubcats</SubCategoryName>"),
                                         Line(5, L"<SubCategoryName>MANUALSUBCATS </SubCategoryName>")}),
              LinesWith(lines, L"<SubCategoryName>"));
}

TEST_F(TestHierarchy, BeginSubCategoryOpensAtThreeAndFourTabsAndEndGroupClosesIt)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C", kManualSubCats));
    EXPECT_EQ(0u, m_writer.BeginSubCategory(L"Key Configuration"));
    EXPECT_EQ(1, m_writer.subCategoryOpen);
    EXPECT_EQ(0u, m_writer.BeginTest(L"State", L"d"));
    EXPECT_EQ(0u, m_writer.WriteResult(L"Valid", kPassed, kFmtString));
    EXPECT_EQ(0u, m_writer.EndTest());
    EXPECT_EQ(0u, m_writer.EndGroup());
    EXPECT_EQ(0, m_writer.subCategoryOpen);
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>G</GroupName>"),
                  Line(2, L"<GroupDescription>D</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>C</CategoryName>"),
                  Line(3, L"<SubCategory>"),
                  Line(4, L"<SubCategoryName>Key Configuration</SubCategoryName>"),
                  Line(6, L"<Test>"),
                  Line(7, L"<TestName>State</TestName>"),
                  Line(7, L"<TestDescription>d</TestDescription>"),
                  Line(7, L"<TestNumber>1</TestNumber>"),
                  Line(7, L"<TestResult Format=\"String\">Valid</TestResult>"),
                  Line(7, L"<TestStatus>Passed</TestStatus>"),
                  Line(6, L"</Test>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(1, L"</TestGroup>"),
              }),
              Content());
}

TEST_F(TestHierarchy, BeginSubCategoryTwiceClosesTheFirstBeforeOpeningTheSecond)
{
    ASSERT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C", kManualSubCats));
    TempReport second;
    m_writer.file = second.handle();
    EXPECT_EQ(0u, m_writer.BeginSubCategory(L"First"));
    EXPECT_EQ(0u, m_writer.BeginSubCategory(L"Second"));
    EXPECT_EQ(Text({
                  Line(3, L"<SubCategory>"),
                  Line(4, L"<SubCategoryName>First</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(3, L"<SubCategory>"),
                  Line(4, L"<SubCategoryName>Second</SubCategoryName>"),
              }),
              second.Content());
    EXPECT_EQ(1, m_writer.subCategoryOpen);
}

TEST_F(TestHierarchy, BeginCategoryAfterBeginSubCategoryClosesTheSubcategoryFirst)
{
    ASSERT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C1", kManualSubCats));
    ASSERT_EQ(0u, m_writer.BeginSubCategory(L"S1"));
    TempReport rest;
    m_writer.file = rest.handle();
    EXPECT_EQ(0u, m_writer.BeginCategory(L"C2", nullptr));
    EXPECT_EQ(0u, m_writer.EndGroup());
    EXPECT_EQ(Text({
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>C2</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>CatUndef</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(1, L"</TestGroup>"),
              }),
              rest.Content());
}

TEST_F(TestHierarchy, BeginCategoryWithoutOpenSubcategoryEndsOnlyTheCategory)
{
    ASSERT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C1", kManualSubCats));
    TempReport rest;
    m_writer.file = rest.handle();
    EXPECT_EQ(0u, m_writer.BeginCategory(L"C2", L"Named"));
    EXPECT_EQ(0u, m_writer.BeginCategory(L"C3", kManualSubCats));
    EXPECT_EQ(0, m_writer.subCategoryOpen);
    EXPECT_EQ(Text({
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>C2</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>Named</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>C3</CategoryName>"),
              }),
              rest.Content());
}

TEST_F(TestHierarchy, BeginCategoryWithNullNameFailsAfterOpeningTheCategory)
{
    ASSERT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C1", nullptr));
    TempReport rest;
    m_writer.file = rest.handle();
    EXPECT_EQ(kWriteFault, m_writer.BeginCategory(nullptr, nullptr));
    EXPECT_EQ(Text({
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
              }),
              rest.Content());
    EXPECT_EQ(0, m_writer.subCategoryOpen);
}

struct StatusCase {
    int status;
    const wchar_t* line;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << "status " << c.status; }

class ResultStatus : public TestHierarchy, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ResultStatus, WriteResultWritesTheStatusWord)
{
    EXPECT_EQ(0u, m_writer.WriteResult(L"42", GetParam().status, kFmtDec));
    EXPECT_EQ(Text({Line(7, L"<TestResult Format=\"Dec\">42</TestResult>"), Line(7, GetParam().line)}), Content());
}

INSTANTIATE_TEST_SUITE_P(Codes, ResultStatus,
                         ::testing::Values(StatusCase{0, L"<TestStatus>Passed</TestStatus>"},
                                           StatusCase{1, L"<TestStatus>Failed</TestStatus>"},
                                           StatusCase{2, L"<TestStatus>Alarm</TestStatus>"},
                                           StatusCase{3, L"<TestStatus></TestStatus>"},
                                           StatusCase{5, L"<TestStatus></TestStatus>"},
                                           StatusCase{-1, L"<TestStatus></TestStatus>"}),
                         [](const ::testing::TestParamInfo<StatusCase>& info) {
                             int status = info.param.status;
                             return "Status" + (status < 0 ? "Minus" + std::to_string(-status) : std::to_string(status));
                         });

struct FormatCase {
    int format;
    const wchar_t* word;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << "format " << c.format; }

class ResultFormat : public TestHierarchy, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ResultFormat, WriteResultNamesTheFormatInTheAttribute)
{
    EXPECT_EQ(0u, m_writer.WriteResult(L"7", kAlarm, GetParam().format));
    EXPECT_EQ(Text({Line(7, std::wstring(L"<TestResult Format=\"") + GetParam().word + L"\">7</TestResult>"),
                    Line(7, L"<TestStatus>Alarm</TestStatus>")}),
              Content());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResultFormat,
    ::testing::Values(FormatCase{1, L"String"}, FormatCase{2, L"Dec"}, FormatCase{3, L"Hex"}, FormatCase{4, L"Raw"},
                      FormatCase{5, L"MHz"}, FormatCase{6, L"DegreeCentigrade"}, FormatCase{7, L"GigaByte"},
                      FormatCase{8, L"MegaByte"}, FormatCase{9, L"KiloByte"}, FormatCase{10, L"Percent"},
                      FormatCase{11, L"Bytes"}, FormatCase{12, L"Rpm"}, FormatCase{13, L"Volt"},
                      FormatCase{14, L"YesNo"}, FormatCase{15, L"Ampere"}, FormatCase{16, L"Unknown"},
                      FormatCase{17, L"EnableDisable"}, FormatCase{18, L"Minutes"}, FormatCase{19, L"Seconds"},
                      FormatCase{20, L"MilliSeconds"}, FormatCase{21, L"Watt"}, FormatCase{0, L"Unknown"},
                      FormatCase{22, L"Unknown"}, FormatCase{99, L"Unknown"}, FormatCase{-1, L"Unknown"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
        std::string code = info.param.format < 0 ? "Minus" + std::to_string(-info.param.format)
                                                  : std::to_string(info.param.format);
        return "Format" + code;
    });

TEST_F(TestHierarchy, ResultLosesOneTrailingLineFeedAndKeepsTheCarriageReturn)
{
    EXPECT_EQ(0u, m_writer.WriteResult(L"first\n", kPassed, kFmtString));
    EXPECT_EQ(0u, m_writer.WriteResult(L"second\r\n", kFailed, kFmtRaw));
    EXPECT_EQ(Text({
                  Line(7, L"<TestResult Format=\"String\">first</TestResult>"),
                  Line(7, L"<TestStatus>Passed</TestStatus>"),
                  Line(7, L"<TestResult Format=\"Raw\">second\r</TestResult>"),
                  Line(7, L"<TestStatus>Failed</TestStatus>"),
              }),
              Content());
}

TEST_F(TestHierarchy, GroupFormsByIdLoadTheirTextsFromTheStringTable)
{
    EXPECT_EQ(0u, m_writer.BeginGroup(297u, 298u));
    EXPECT_EQ(0u, m_writer.EndGroup());
    EXPECT_EQ(0u, m_writer.BeginGroup(272u, 299u, 274u));  // 299 has no string
    EXPECT_EQ(0u, m_writer.EndGroup());
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>Operating System</GroupName>"),
                  Line(2, L"<GroupDescription>Contains tests of several operating system specific items like product "
                       L"ID, user privileges or version numbers.</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>CatUndef</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>CatUndef</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(1, L"</TestGroup>"),
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>2</GroupNumber>"),
                  Line(2, L"<GroupName>BIOS</GroupName>"),
                  Line(7, L"<GroupDescription>DescrUndef</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>Version</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>CatUndef</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(1, L"</TestGroup>"),
              }),
              Content());
}

TEST_F(TestHierarchy, CategoryAndTestFormsByIdLoadTheirTextsFromTheStringTable)
{
    ASSERT_EQ(0u, m_writer.BeginGroup(L"G", L"D", L"C", kManualSubCats));
    TempReport rest;
    m_writer.file = rest.handle();
    EXPECT_EQ(0u, m_writer.BeginCategory(300u));
    EXPECT_EQ(0u, m_writer.BeginCategoryManual(301u));
    EXPECT_EQ(0u, m_writer.BeginCategory(326u, 327u));
    EXPECT_EQ(0u, m_writer.BeginSubCategory(333u));
    EXPECT_EQ(0u, m_writer.BeginTest(304u));
    EXPECT_EQ(0u, m_writer.WriteResult(261u, kFmtString));
    EXPECT_EQ(0u, m_writer.EndTest());
    EXPECT_EQ(0u, m_writer.BeginTest(305u, 306u));
    EXPECT_EQ(0u, m_writer.WriteResult(261u, kFmtYesNo));
    EXPECT_EQ(0u, m_writer.EndTest());
    EXPECT_EQ(Text({
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>User Account</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>CatUndef</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>Registration Details</CategoryName>"),
                  Line(2, L"</Category>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>Physical Memory</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>Total</SubCategoryName>"),
                  Line(3, L"</SubCategory>"),
                  Line(3, L"<SubCategory>"),
                  Line(4, L"<SubCategoryName>Paging Memory</SubCategoryName>"),
                  Line(6, L"<Test>"),
                  Line(7, L"<TestName>Build number</TestName>"),
                  Line(7, L"<TestDescription>DescrUndef</TestDescription>"),
                  Line(7, L"<TestNumber>1</TestNumber>"),
                  Line(7, L"<TestResult Format=\"String\">N/A</TestResult>"),
                  Line(7, L"<TestStatus>Passed</TestStatus>"),
                  Line(6, L"</Test>"),
                  Line(6, L"<Test>"),
                  Line(7, L"<TestName>Administrator privileges</TestName>"),
                  Line(7, L"<TestDescription>Checks if the user account has administrator privileges.</TestDescription>"),
                  Line(7, L"<TestNumber>2</TestNumber>"),
                  Line(7, L"<TestResult Format=\"YesNo\">N/A</TestResult>"),
                  Line(7, L"<TestStatus>Passed</TestStatus>"),
                  Line(6, L"</Test>"),
              }),
              rest.Content());
}

TEST_F(TestHierarchy, GeneralGroupOpensNoSubcategory)
{
    EXPECT_EQ(0u, m_writer.BeginGeneralGroup());
    EXPECT_EQ(0, m_writer.subCategoryOpen);
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>General</GroupName>"),
                  Line(2, L"<GroupDescription>Contains general tests like key configuration or user "
                       L"settings.</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>User Settings</CategoryName>"),
              }),
              Content());
}

TEST_F(TestHierarchy, DriversAndToolsGroupOpensItsProductInformationSubcategory)
{
    EXPECT_EQ(0u, m_writer.BeginDriversAndToolsGroup());
    EXPECT_EQ(1, m_writer.subCategoryOpen);
    EXPECT_EQ(Text({
                  Line(1, L"<TestGroup>"),
                  Line(2, L"<GroupNumber>1</GroupNumber>"),
                  Line(2, L"<GroupName>Kavrol Drivers and Tools</GroupName>"),
                  Line(2, L"<GroupDescription>Contains information about Kavrol drivers and tools like the file path "
                       L"and file version.</GroupDescription>"),
                  Line(2, L"<Category>"),
                  Line(3, L"<CategoryName>IXA Driver</CategoryName>"),
                  Line(4, L"<SubCategory>"),
                  Line(5, L"<SubCategoryName>Product Information</SubCategoryName>"),
              }),
              Content());
}

// Whatever the primitive's code, the operations report a write fault.
TEST(TestHierarchyFailures, EveryOperationOnAFileThatCannotBeWrittenGivesWriteFault)
{
    for (HANDLE file : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        ReportWriter writer;
        writer.file = file;
        EXPECT_EQ(kWriteFault, writer.BeginGroup(L"G", L"D", L"C", nullptr));
        EXPECT_EQ(kWriteFault, writer.BeginGroup(297u, 298u));
        EXPECT_EQ(kWriteFault, writer.BeginGeneralGroup());
        EXPECT_EQ(kWriteFault, writer.BeginCategory(L"C", nullptr));
        EXPECT_EQ(kWriteFault, writer.BeginSubCategory(L"S"));
        EXPECT_EQ(kWriteFault, writer.BeginTest(L"T", nullptr));
        EXPECT_EQ(kWriteFault, writer.WriteResult(L"v", kPassed, kFmtString));
        EXPECT_EQ(kWriteFault, writer.WriteResult(261u, kFmtString));
        EXPECT_EQ(kWriteFault, writer.EndTest());
        EXPECT_EQ(kWriteFault, writer.EndGroup());
    }
}

TEST(TestHierarchyFailures, AFailedBeginGroupKeepsItsNumber)
{
    ReportWriter writer;
    writer.file = INVALID_HANDLE_VALUE;
    EXPECT_EQ(kWriteFault, writer.BeginGroup(L"G", nullptr, nullptr, nullptr));
    EXPECT_EQ(kWriteFault, writer.BeginGroup(L"G", nullptr, nullptr, nullptr));
    EXPECT_EQ(2, writer.groupCounter);
    EXPECT_EQ(0, writer.subCategoryOpen);

    // The next group that can be written carries the following number.
    TempReport report;
    writer.file = report.handle();
    EXPECT_EQ(0u, writer.BeginGroup(L"G", L"D", L"C", kManualSubCats));
    EXPECT_EQ(Line(2, L"<GroupNumber>3</GroupNumber>"), report.Lines().at(1));
}

TEST(TestHierarchyFailures, ATestThatFailsBeforeItsNumberLineTakesNoNumber)
{
    ReportWriter writer;
    writer.file = INVALID_HANDLE_VALUE;
    EXPECT_EQ(kWriteFault, writer.BeginTest(L"T", L"D"));
    EXPECT_EQ(0, writer.testCounter);

    // A null test name fails on the name line, after the Test start tag.
    TempReport report;
    writer.file = report.handle();
    EXPECT_EQ(kWriteFault, writer.BeginTest(nullptr, L"D"));
    EXPECT_EQ(0, writer.testCounter);
    EXPECT_EQ(Text({Line(6, L"<Test>")}), report.Content());
}

TEST(TestHierarchyFailures, AGroupThatFailsAfterItsNumberLineKeepsTheNumberAndTheLinesWritten)
{
    TempReport report;
    ReportWriter writer;
    writer.file = report.handle();
    EXPECT_EQ(kWriteFault, writer.BeginGroup(nullptr, L"D", L"C", nullptr));
    EXPECT_EQ(1, writer.groupCounter);
    EXPECT_EQ(0, writer.subCategoryOpen);
    EXPECT_EQ(Text({Line(1, L"<TestGroup>"), Line(2, L"<GroupNumber>1</GroupNumber>")}), report.Content());
}

TEST(TestHierarchyFailures, AFailedCloseLeavesTheSubcategoryOpen)
{
    ReportWriter writer;
    writer.file = INVALID_HANDLE_VALUE;
    writer.subCategoryOpen = 1;
    EXPECT_EQ(kWriteFault, writer.EndGroup());
    EXPECT_EQ(1, writer.subCategoryOpen);
    EXPECT_EQ(kWriteFault, writer.BeginCategory(L"C", nullptr));
    EXPECT_EQ(1, writer.subCategoryOpen);
    EXPECT_EQ(kWriteFault, writer.BeginSubCategory(L"S"));
    EXPECT_EQ(1, writer.subCategoryOpen);

    writer.subCategoryOpen = 0;
    EXPECT_EQ(kWriteFault, writer.BeginSubCategory(L"S"));
    EXPECT_EQ(0, writer.subCategoryOpen);
}

}  // namespace
}  // namespace kv
