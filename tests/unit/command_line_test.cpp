// The command line: which arguments name the report, set the overwrite option or
// are refused, and the usage text shown for a refused one.
#include "report_file.h"

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kv {
namespace {

struct ParseCase {
    const char* name;
    const wchar_t* commandLine;
    int invalidParameter;
    int overwrite;
    const wchar_t* reportFileName;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class CommandLine : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLine, ParseCommandLineSetsFileNameAndFlags)
{
    CCustomCommandLineInfo info;
    info.ParseCommandLine(GetParam().commandLine);
    EXPECT_EQ(GetParam().invalidParameter, info.invalidParameter);
    EXPECT_EQ(GetParam().overwrite, info.overwrite);
    EXPECT_STREQ(GetParam().reportFileName, info.reportFileName);
    EXPECT_EQ(0, info.reportFileNameTooLong);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLine,
    ::testing::Values(
        ParseCase{"NoArguments", L"KvInspectra.exe", 0, 0, L""},
        ParseCase{"DashF", L"KvInspectra.exe -f=C:\\temp\\test.xml", 0, 0, L"C:\\temp\\test.xml"},
        ParseCase{"SlashF", L"KvInspectra.exe /f=C:\\r.xml", 0, 0, L"C:\\r.xml"},
        ParseCase{"EmptyF", L"KvInspectra.exe -f=", 0, 0, L""},
        ParseCase{"DashO", L"KvInspectra.exe -o", 0, 1, L""},
        ParseCase{"SlashOAndF", L"KvInspectra.exe /o -f=x.xml", 0, 1, L"x.xml"},
        ParseCase{"FThenO", L"KvInspectra.exe -f=x.xml -o", 0, 1, L"x.xml"},
        ParseCase{"OfNamesTheReport", L"KvInspectra.exe -of=x.xml", 0, 0, L"x.xml"},
        ParseCase{"UpperCaseO", L"KvInspectra.exe -O", 1, 0, L""},
        ParseCase{"UnknownOption", L"KvInspectra.exe -x", 1, 0, L""},
        ParseCase{"BareFileName", L"KvInspectra.exe report.xml", 1, 0, L""},
        ParseCase{"OWithMore", L"KvInspectra.exe -oo", 1, 0, L""},
        ParseCase{"DoubleDash", L"KvInspectra.exe --o", 1, 0, L""},
        ParseCase{"UpperCaseF", L"KvInspectra.exe -F=x.xml", 1, 0, L""},
        ParseCase{"LaterFWins", L"KvInspectra.exe -f=a.xml -f=b.xml", 0, 0, L"b.xml"},
        ParseCase{"EmptyLaterFClearsTheName", L"KvInspectra.exe -f=a.xml -f=", 0, 0, L""},
        ParseCase{"BareFAndO", L"KvInspectra.exe f=report.xml o", 0, 1, L"report.xml"},
        ParseCase{"TextAfterTheFirstF", L"KvInspectra.exe -xf=of=y.xml", 0, 0, L"of=y.xml"},
        ParseCase{"ValidAndInvalid", L"KvInspectra.exe -f=a.xml -x", 1, 0, L"a.xml"},
        ParseCase{"QuotedName", L"KvInspectra.exe -f=\"C:\\Report 1\\My Report.xml\"", 0, 0,
                  L"C:\\Report 1\\My Report.xml"},
        ParseCase{"QuotedArgument", L"KvInspectra.exe \"-f=C:\\Report 1\\My Report.xml\" -o", 0, 1,
                  L"C:\\Report 1\\My Report.xml"},
        ParseCase{"ProgramPathIsNotAnArgument", L"\"C:\\f=x\\Kv Inspectra.exe\" -o", 0, 1, L""},
        ParseCase{"ExtraBlanks", L"KvInspectra.exe    -o     -f=r.xml  ", 0, 1, L"r.xml"}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(HandleArgument, TakesTheArgumentWithoutItsLeadingDash)
{
    CCustomCommandLineInfo info;
    info.HandleArgument(L"o");
    EXPECT_EQ(1, info.overwrite);
    info.HandleArgument(L"f=C:\\r.xml");
    EXPECT_STREQ(L"C:\\r.xml", info.reportFileName);
    EXPECT_EQ(0, info.invalidParameter);
    // A dash that is still there is part of the text.
    info.HandleArgument(L"-o");
    EXPECT_EQ(1, info.invalidParameter);
}

TEST(HandleArgument, ANameLongerThanTheFieldIsMarkedAndALaterValidNameClearsTheMark)
{
    CCustomCommandLineInfo info;
    std::wstring fits(259, L'a');
    std::wstring tooLong(260, L'b');
    info.ParseCommandLine((L"KvInspectra.exe -f=" + fits).c_str());
    EXPECT_EQ(0, info.reportFileNameTooLong);
    EXPECT_EQ(fits, info.reportFileName);

    info.ParseCommandLine((L"KvInspectra.exe -f=" + tooLong).c_str());
    EXPECT_EQ(1, info.reportFileNameTooLong);
    EXPECT_STREQ(L"", info.reportFileName);
    EXPECT_EQ(0, info.invalidParameter);

    info.ParseCommandLine(L"KvInspectra.exe -f=short.xml");
    EXPECT_EQ(0, info.reportFileNameTooLong);
    EXPECT_STREQ(L"short.xml", info.reportFileName);
}

TEST(HandleArgument, ALaterTooLongNameReplacesAnEarlierValidOne)
{
    CCustomCommandLineInfo info;
    info.ParseCommandLine((L"KvInspectra.exe -f=first.xml -f=" + std::wstring(300, L'c')).c_str());
    EXPECT_EQ(1, info.reportFileNameTooLong);
    EXPECT_STREQ(L"", info.reportFileName);
}

// The usage text, piece by piece; line feed before carriage return is part of it.
std::wstring ExpectedUsage()
{
    const wchar_t* const pieces[] = {
        L"This program analyzes your device and creates a report file. This report file can be used for error "
        L"diagnosis.\n\r",
        L"\n\r",
        L"Run \"KvInspectra [-o] -f=<report file>\" to start the diagnostic process automatically.\n\r",
        L"\n\r",
        L"Required parameters:\n\r",
        L"\n\r",
        L"-f=<report file>\n\r",
        L"Defines the name of the report file (e.g. -f=C:\\temp\\test.xml). ",
        L"If the report file name contains spaces wrap the file name with quotation marks (e.g. -f=\"C:\\Report "
        L"1\\My Report.xml\").\n\r",
        L"\n\r",
        L"Optional parameters:\n\r",
        L"\n\r",
        L"[-o] If this option is set, an existing report file will be overwritten.\n\r",
        L"\n\r",
        L"Note:\n\r",
        L"The report consists of two files. A XML file which contains the report data and a corresponding XSL "
        L"stylesheet file for viewing the data in a webbrowser.\r\n",
    };
    std::wstring text;
    for (const wchar_t* piece : pieces)
        text += piece;
    return text;
}

struct UsageCase {
    int kind;
    UINT flags;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << "kind " << c.kind; }

class Usage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(Usage, ShowUsageShowsTheUsageTextWithTheIconOfItsKind)
{
    MessageBoxRecorder boxes(IDOK);
    HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    ShowUsage(GetParam().kind == 1 ? nullptr : owner, GetParam().kind);
    ASSERT_EQ(1u, boxes.Calls().size());
    const MessageBoxCall& box = boxes.Calls()[0];
    EXPECT_EQ(GetParam().kind == 1 ? nullptr : owner, box.owner);
    EXPECT_EQ(ExpectedUsage(), box.text);
    EXPECT_EQ(L"Kavrol Inspectra", box.caption);
    EXPECT_EQ(GetParam().flags, box.flags);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Usage,
                         ::testing::Values(UsageCase{1, MB_SETFOREGROUND | MB_ICONERROR},
                                           UsageCase{0, MB_SETFOREGROUND | MB_ICONINFORMATION},
                                           UsageCase{2, MB_SETFOREGROUND | MB_ICONINFORMATION},
                                           UsageCase{-1, MB_SETFOREGROUND | MB_ICONINFORMATION}),
                         [](const ::testing::TestParamInfo<UsageCase>& info) {
                             return "Kind" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace kv
