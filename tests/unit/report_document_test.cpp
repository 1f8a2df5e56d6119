// The two report files: names, the bytes of the report's beginning and end, the
// stylesheet copied out of the program, and the overwrite question of OpenReport.
#include "report_file.h"

#include "app/message_box.h"
#include "report/report_document.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <regex>
#include <ostream>
#include <string>
#include <vector>

namespace kv {
namespace {

const DWORD kNoError = ERROR_SUCCESS;

// UTF-16 little endian bytes of a text, as the report holds it.
std::string Utf16(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

const std::string kBom("\xFF\xFE", 2);

// ASCII text of a test case, for the names ctest shows.
std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
    return out;
}

// The report after its byte-order mark, split into lines; empty without the mark.
std::vector<std::wstring> ReportLines(const std::wstring& path)
{
    std::string bytes = ReadFileBytes(path);
    if (bytes.compare(0, 2, kBom) != 0)
        return {};
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return SplitLines(text);
}

// The stylesheet resource of this executable, which carries the program's resources.
std::string StylesheetResource()
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(self, MAKEINTRESOURCEW(IDR_STYLESHEET), L"XSL");
    HGLOBAL loaded = resource ? ::LoadResource(self, resource) : nullptr;
    const char* data = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    return data ? std::string(data, ::SizeofResource(self, resource)) : std::string();
}

// True when nobody holds the file open any more: it opens without sharing.
bool IsClosed(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

struct PathCase {
    const wchar_t* report;
    const wchar_t* stylesheet;
    const wchar_t* href;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << Narrow(c.report); }

class StylesheetNames : public ::testing::TestWithParam<PathCase> {};

TEST_P(StylesheetNames, StylesheetTakesTheReportPathWithoutItsLastExtension)
{
    EXPECT_EQ(std::wstring(GetParam().stylesheet), SiblingPath(GetParam().report, L".xsl"));
    EXPECT_EQ(std::wstring(GetParam().href), FileNameOf(SiblingPath(GetParam().report, L".xsl")));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StylesheetNames,
    ::testing::Values(PathCase{L"C:\\temp\\test.xml", L"C:\\temp\\test.xsl", L"test.xsl"},
                      PathCase{L"C:\\temp\\report", L"C:\\temp\\report.xsl", L"report.xsl"},
                      PathCase{L"C:\\my.dir\\report", L"C:\\my.dir\\report.xsl", L"report.xsl"},
                      PathCase{L"C:\\temp\\test.a.b.xml", L"C:\\temp\\test.a.b.xsl", L"test.a.b.xsl"},
                      PathCase{L"test.a.b.xml", L"test.a.b.xsl", L"test.a.b.xsl"},
                      PathCase{L"report", L"report.xsl", L"report.xsl"},
                      PathCase{L"C:\\temp\\.xml", L"C:\\temp\\.xsl", L".xsl"},
                      PathCase{L"C:\\temp\\report.", L"C:\\temp\\report.xsl", L"report.xsl"},
                      PathCase{L"C:/reports/run.1/report", L"C:/reports/run.1/report.xsl", L"report.xsl"},
                      PathCase{L"C:\\reports/run.1\\a.b/report.xml", L"C:\\reports/run.1\\a.b/report.xsl", L"report.xsl"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return "Path" + std::to_string(info.index); });

TEST(ReportFileNames, FileNameIsThePartAfterTheLastSeparator)
{
    EXPECT_EQ(L"test.xsl", FileNameOf(L"C:/temp/test.xsl"));
    EXPECT_EQ(L"test.xsl", FileNameOf(L"C:\\a/b\\test.xsl"));
    EXPECT_EQ(L"test.xsl", FileNameOf(L"C:\\temp\\test.xsl"));
    EXPECT_EQ(L"test.xsl", FileNameOf(L"test.xsl"));
    EXPECT_EQ(L"c.xsl", FileNameOf(L"\\\\server\\a.b\\c.xsl"));
    EXPECT_EQ(L"", FileNameOf(L"C:\\temp\\"));
}

class ReportFiles : public ::testing::Test {
protected:
    TempFolder m_folder;
};

const wchar_t kDeclaration[] = L"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n";
const wchar_t kRootStart[] = L"<KvInspectraReport>\r\n";

TEST_F(ReportFiles, CreateReportFileWritesMarkDeclarationStylesheetInstructionAndRootStartTag)
{
    std::wstring path = m_folder.File(L"test.xml");
    wchar_t rootName[260] = {};
    HANDLE file = CreateReportFile(rootName, path.c_str(), L"test.xsl");
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ::CloseHandle(file);
    EXPECT_EQ(kBom + Utf16(std::wstring(kDeclaration) +
                           L"<?xml-stylesheet type=\"text/xsl\" href=\"test.xsl\"?>\r\n" + kRootStart),
              ReadFileBytes(path));
    EXPECT_STREQ(L"KvInspectraReport", rootName);
}

TEST_F(ReportFiles, CreateReportFileWithoutStylesheetNameWritesNoInstruction)
{
    std::wstring path = m_folder.File(L"plain.xml");
    wchar_t rootName[260] = {};
    HANDLE file = CreateReportFile(rootName, path.c_str(), nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ::CloseHandle(file);
    EXPECT_EQ(kBom + Utf16(std::wstring(kDeclaration) + kRootStart), ReadFileBytes(path));
}

TEST_F(ReportFiles, CreateReportFileReplacesAnExistingFileAndHoldsItExclusively)
{
    std::wstring path = m_folder.File(L"old.xml");
    WriteFileBytes(path, std::string(4000, 'x'));
    wchar_t rootName[260] = {};
    HANDLE file = CreateReportFile(rootName, path.c_str(), nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_FALSE(IsClosed(path));
    ::CloseHandle(file);
    EXPECT_EQ(kBom + Utf16(std::wstring(kDeclaration) + kRootStart), ReadFileBytes(path));
}

TEST_F(ReportFiles, CreateReportFileWithoutPathFailsWithBadArguments)
{
    wchar_t rootName[260] = {};
    ::SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateReportFile(rootName, nullptr, L"test.xsl"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), ::GetLastError());
}

TEST_F(ReportFiles, CreateReportFileInAMissingFolderFailsWithTheSystemsReason)
{
    wchar_t rootName[260] = {};
    ::SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateReportFile(rootName, m_folder.File(L"missing\\r.xml").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), ::GetLastError());
}

TEST_F(ReportFiles, CloseReportWritesTheRootEndTagAndClosesTheFile)
{
    std::wstring path = m_folder.File(L"close.xml");
    wchar_t rootName[260] = {};
    HANDLE file = CreateReportFile(rootName, path.c_str(), nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(kNoError, CloseReport(rootName, file));
    EXPECT_TRUE(IsClosed(path));
    EXPECT_EQ(kBom + Utf16(std::wstring(kDeclaration) + kRootStart + L"</KvInspectraReport>\r\n"),
              ReadFileBytes(path));
}

TEST(ReportClose, NullHandleIsAnInvalidHandleAndAFailingWriteAWriteFault)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), CloseReport(L"KvInspectraReport", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT), CloseReport(L"KvInspectraReport", INVALID_HANDLE_VALUE));
}

TEST_F(ReportFiles, StylesheetIsTheProgramsResourceByteForByte)
{
    std::string resource = StylesheetResource();
    ASSERT_GT(resource.size(), 3u);
    // UTF-8 with byte-order mark, copied without conversion.
    EXPECT_EQ(std::string("\xEF\xBB\xBF<?xml", 8), resource.substr(0, 8));
    EXPECT_EQ(kNoError, WriteStylesheetFile(m_folder.File(L"report.xml").c_str()));
    EXPECT_EQ(resource, ReadFileBytes(m_folder.File(L"report.xsl")));
    EXPECT_TRUE(IsClosed(m_folder.File(L"report.xsl")));
}

TEST_F(ReportFiles, StylesheetReplacesAnExistingOne)
{
    WriteFileBytes(m_folder.File(L"a.b.xsl"), std::string(30000, 's'));
    EXPECT_EQ(kNoError, WriteStylesheetFile(m_folder.File(L"a.b.xml").c_str()));
    EXPECT_EQ(StylesheetResource(), ReadFileBytes(m_folder.File(L"a.b.xsl")));
}

TEST_F(ReportFiles, StylesheetWithoutPathIsABadArgument)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), WriteStylesheetFile(nullptr));
}

TEST_F(ReportFiles, StylesheetInAMissingFolderCannotBeMade)
{
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), WriteStylesheetFile(m_folder.File(L"missing\\r.xml").c_str()));
}

TEST_F(ReportFiles, AStylesheetThatCannotBeDeletedIsNotReplaced)
{
    std::wstring stylesheet = m_folder.File(L"locked.xsl");
    WriteFileBytes(stylesheet, "old");
    ::SetFileAttributesW(stylesheet.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(static_cast<DWORD>(ERROR_UNABLE_TO_REMOVE_REPLACED),
              WriteStylesheetFile(m_folder.File(L"locked.xml").c_str()));
    EXPECT_EQ("old", ReadFileBytes(stylesheet));
    ::SetFileAttributesW(stylesheet.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// OpenReport as start-up calls it: with the program's own overwrite question.
DWORD Open(ReportWriter& writer, const std::wstring& path, int overwrite)
{
    return OpenReport(writer, path.c_str(), overwrite, UserAllowsReplacingReport);
}

// OpenReport against a device profile, with every message box answered by the test.
class OpenReportTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_writer.file != INVALID_HANDLE_VALUE && m_writer.file != nullptr)
            CloseReport(m_writer.rootName, m_writer.file);
    }

    // Closes the report so that it can be read, and returns its lines.
    std::vector<std::wstring> ClosedReportLines()
    {
        EXPECT_EQ(kNoError, CloseReport(m_writer.rootName, m_writer.file));
        m_writer.file = INVALID_HANDLE_VALUE;
        return ReportLines(m_report);
    }

    void WriteOldFiles()
    {
        WriteFileBytes(m_report, "old report");
        WriteFileBytes(m_stylesheet, "old stylesheet");
    }

    TempFolder m_folder;
    std::wstring m_report = m_folder.File(L"scan.report.xml");
    std::wstring m_stylesheet = m_folder.File(L"scan.report.xsl");
    ScopedProfile m_profile{R"({"IxaGetDeviceType": {"u32": 18}})"};
    ReportWriter m_writer;
};

std::wstring Question(const std::wstring& path)
{
    return L"The report file " + path + L" already exists. Overwrite this file?";
}

TEST_F(OpenReportTest, NewReportGetsStylesheetAndWholeHeaderWithoutAQuestion)
{
    MessageBoxRecorder boxes(IDNO);
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    ASSERT_EQ(kNoError, Open(m_writer, m_report, 0));
    SYSTEMTIME after;
    ::GetLocalTime(&after);
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(StylesheetResource(), ReadFileBytes(m_stylesheet));

    std::vector<std::wstring> lines = ClosedReportLines();
    ASSERT_EQ(12u, lines.size());
    EXPECT_EQ(L"<?xml version=\"1.0\" encoding=\"utf-16\"?>", lines[0]);
    EXPECT_EQ(L"<?xml-stylesheet type=\"text/xsl\" href=\"scan.report.xsl\"?>", lines[1]);
    EXPECT_EQ(L"<KvInspectraReport>", lines[2]);
    EXPECT_EQ(L"\t<Header>", lines[3]);
    EXPECT_EQ(L"\t\t<Version>Kavrol Inspectra V2.0</Version>", lines[4]);
    EXPECT_EQ(L"\t\t<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>", lines[5]);
    EXPECT_TRUE(std::regex_match(lines[6], std::wregex(L"\t\t<Time>([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]</Time>")))
        << "line: " << ::testing::PrintToString(lines[6]);
    EXPECT_TRUE(std::regex_match(lines[7], std::wregex(L"\t\t<Date>([1-9]|[12][0-9]|3[01]) "
                                                       L"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                       L"[0-9]{4}</Date>")))
        << "line: " << ::testing::PrintToString(lines[7]);

    wchar_t user[260];
    DWORD userSize = 260;
    ASSERT_TRUE(::GetUserNameW(user, &userSize));
    EXPECT_EQ(std::wstring(L"\t\t<Author>") + user + L"</Author>", lines[8]);
    wchar_t computer[260];
    DWORD computerSize = 260;
    ASSERT_TRUE(::GetComputerNameW(computer, &computerSize));
    EXPECT_EQ(std::wstring(L"\t\t<ComputerName>") + computer + L"</ComputerName>", lines[9]);
    EXPECT_EQ(L"\t</Header>", lines[10]);
    EXPECT_EQ(L"</KvInspectraReport>", lines[11]);

    // Date and time come from the clock read between the two readings here.
    if (before.wDay == after.wDay && before.wHour == after.wHour) {
        static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                                 L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
        EXPECT_EQ(L"\t\t<Date>" + std::to_wstring(before.wDay) + L" " + kMonths[before.wMonth - 1] + L" " +
                      std::to_wstring(before.wYear) + L"</Date>",
                  lines[7]);
        wchar_t first[16];
        wchar_t last[16];
        swprintf(first, 16, L"%02u:%02u:%02u", unsigned{before.wHour}, unsigned{before.wMinute},
                 unsigned{before.wSecond});
        swprintf(last, 16, L"%02u:%02u:%02u", unsigned{after.wHour}, unsigned{after.wMinute},
                 unsigned{after.wSecond});
        std::wstring time = lines[6].substr(8, 8);
        EXPECT_LE(std::wstring(first), time);
        EXPECT_GE(std::wstring(last), time);
    }
}

TEST_F(OpenReportTest, ExistingReportAsksTheQuestionAndNoLeavesBothFilesUntouched)
{
    WriteOldFiles();
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), Open(m_writer, m_report, 0));
    ASSERT_EQ(1u, boxes.Calls().size());
    const MessageBoxCall& box = boxes.Calls()[0];
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(Question(m_report), box.text);
    EXPECT_EQ(L"Kavrol Inspectra", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), box.flags);
    EXPECT_EQ("old report", ReadFileBytes(m_report));
    EXPECT_EQ("old stylesheet", ReadFileBytes(m_stylesheet));
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_writer.file);
}

TEST_F(OpenReportTest, TheQuestionHoldsALongPathInFull)
{
    std::wstring report = m_folder.File((std::wstring(200, L'n') + L".xml").c_str());
    WriteFileBytes(report, "old report");
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), Open(m_writer, report, 0));
    ASSERT_EQ(1u, boxes.Calls().size());
    EXPECT_EQ(Question(report), boxes.Calls()[0].text);
}

TEST_F(OpenReportTest, ExistingReportAnsweredYesIsReplacedWithItsStylesheet)
{
    WriteOldFiles();
    MessageBoxRecorder boxes(IDYES);
    EXPECT_EQ(kNoError, Open(m_writer, m_report, 0));
    EXPECT_EQ(1u, boxes.Calls().size());
    EXPECT_EQ(StylesheetResource(), ReadFileBytes(m_stylesheet));
    std::vector<std::wstring> lines = ClosedReportLines();
    ASSERT_EQ(12u, lines.size());
    EXPECT_EQ(L"<?xml version=\"1.0\" encoding=\"utf-16\"?>", lines[0]);
    EXPECT_EQ(L"\t<Header>", lines[3]);
}

TEST_F(OpenReportTest, ExistingReportWithOverwriteIsReplacedWithoutAQuestion)
{
    WriteOldFiles();
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(kNoError, Open(m_writer, m_report, 1));
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(StylesheetResource(), ReadFileBytes(m_stylesheet));
    EXPECT_EQ(12u, ClosedReportLines().size());
}

// Only an explicit Yes replaces the report: a box that could not be shown (0, or
// -1 without a display) or any other answer is no consent.
class OverwriteAnswer : public OpenReportTest, public ::testing::WithParamInterface<int> {};

TEST_P(OverwriteAnswer, AnythingButYesKeepsTheExistingReport)
{
    WriteOldFiles();
    MessageBoxRecorder boxes(GetParam());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), Open(m_writer, m_report, 0));
    EXPECT_EQ(1u, boxes.Calls().size());
    EXPECT_EQ("old report", ReadFileBytes(m_report));
    EXPECT_EQ("old stylesheet", ReadFileBytes(m_stylesheet));
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteAnswer, ::testing::Values(0, -1, IDCANCEL, IDOK),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Answer" + std::to_string(info.index);
                         });

TEST_F(OpenReportTest, AnExistingStylesheetAloneIsReplacedWithoutAQuestion)
{
    WriteFileBytes(m_stylesheet, "old stylesheet");
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(kNoError, Open(m_writer, m_report, 0));
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(StylesheetResource(), ReadFileBytes(m_stylesheet));
}

TEST_F(OpenReportTest, AReportInAMissingFolderFailsWithTheStylesheetsCode)
{
    MessageBoxRecorder boxes(IDYES);
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE),
              Open(m_writer, m_folder.File(L"missing\\report.xml"), 1));
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_writer.file);
}

TEST_F(OpenReportTest, NoReportPathIsABadArgumentAndAsksNothing)
{
    MessageBoxRecorder boxes(IDYES);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_ARGUMENTS), OpenReport(m_writer, nullptr, 0, UserAllowsReplacingReport));
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_writer.file);
}

TEST_F(OpenReportTest, AReportPathNamingAFolderCannotBeOpened)
{
    std::wstring folder = m_folder.File(L"folder.xml");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    MessageBoxRecorder boxes(IDYES);
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPEN_FAILED), Open(m_writer, folder, 0));
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_writer.file);
    ::RemoveDirectoryW(folder.c_str());
}

// A report some other program holds open counts as not existing; it then cannot be
// created either.
TEST_F(OpenReportTest, AReportHeldOpenElsewhereIsNotAskedAboutAndCannotBeOpened)
{
    WriteOldFiles();
    HANDLE held = ::CreateFileW(m_report.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    MessageBoxRecorder boxes(IDYES);
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPEN_FAILED), Open(m_writer, m_report, 0));
    EXPECT_TRUE(boxes.Calls().empty());
    ::CloseHandle(held);
    EXPECT_EQ("old report", ReadFileBytes(m_report));
}

struct DeviceTypeCase {
    const char* profile;
    const wchar_t* line;
};

void PrintTo(const DeviceTypeCase& c, std::ostream* os) { *os << c.profile; }

class HeaderDeviceType : public ::testing::TestWithParam<DeviceTypeCase> {};

TEST_P(HeaderDeviceType, HeaderNamesTheDeviceModel)
{
    TempFolder folder;
    ScopedProfile profile(GetParam().profile);
    ReportWriter writer;
    std::wstring report = folder.File(L"r.xml");
    ASSERT_EQ(kNoError, Open(writer, report, 1));
    ASSERT_EQ(kNoError, CloseReport(writer.rootName, writer.file));
    std::vector<std::wstring> lines = ReportLines(report);
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(GetParam().line, lines[5]);
    EXPECT_EQ(1u, profile.Calls("IxaGetDeviceType").size());
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, HeaderDeviceType,
    ::testing::Values(
        DeviceTypeCase{R"({"IxaGetDeviceType": {"u32": 18}})", L"\t\t<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>"},
        DeviceTypeCase{R"({"IxaGetDeviceType": {"u32": 24}})", L"\t\t<KvDeviceType>Kavrol Panevox P95</KvDeviceType>"},
        DeviceTypeCase{R"({"IxaGetDeviceType": {"u32": 99}})", L"\t\t<KvDeviceType>Not supported</KvDeviceType>"},
        DeviceTypeCase{R"({"IxaGetDeviceType": {"error": 87}})", L"\t\t<KvDeviceType>Unknown</KvDeviceType>"},
        // A value delivered with a failing return is still a failed call.
        DeviceTypeCase{R"({"IxaGetDeviceType": {"u32": 18, "return": 0}})",
                       L"\t\t<KvDeviceType>Unknown</KvDeviceType>"},
        // A profile the library cannot use: it reports no device at all.
        DeviceTypeCase{R"({"IxaGetDeviceTyp": {"u32": 18}})", L"\t\t<KvDeviceType>Unknown</KvDeviceType>"}),
    [](const ::testing::TestParamInfo<DeviceTypeCase>& info) { return "Profile" + std::to_string(info.index); });

}  // namespace
}  // namespace kv
