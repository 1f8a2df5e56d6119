// The two dialogs of an interactive run as their templates lay them out, and the
// default name the report file dialog proposes.
#include "report_file.h"

#include "app/report_file_dialog.h"
#include "resource.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kv {
namespace {

// One control of a DIALOGEX template; text "#n" stands for a resource ordinal.
struct Control {
    int id;
    std::wstring className;
    short x, y, cx, cy;
    std::wstring text;
    DWORD style;  // bits that must be set
};

struct Template {
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    std::wstring caption;
    WORD pointSize;
    std::wstring font;
    std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items: ordinals after 0xFFFF, items
// DWORD aligned, predefined classes by ordinal.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : m_start(data), m_at(data) {}

    Template Read()
    {
        Template t;
        m_at += 8;  // version, signature, help id
        t.exStyle = Get<DWORD>();
        t.style = Get<DWORD>();
        WORD count = Get<WORD>();
        m_at += 4;  // x, y
        t.cx = Get<short>();
        t.cy = Get<short>();
        Text();  // menu
        Text();  // class
        t.caption = Text();
        t.pointSize = Get<WORD>();
        m_at += 4;  // weight, italic, charset
        t.font = Text();
        for (WORD i = 0; i < count; ++i) {
            m_at = m_start + ((m_at - m_start + 3) & ~3);
            Control c;
            m_at += 8;  // help id, extended style
            c.style = Get<DWORD>();
            c.x = Get<short>();
            c.y = Get<short>();
            c.cx = Get<short>();
            c.cy = Get<short>();
            c.id = static_cast<int>(Get<DWORD>());
            c.className = Text(true);
            c.text = Text();
            m_at += Get<WORD>();  // creation data
            t.controls.push_back(c);
        }
        return t;
    }

private:
    template <typename T>
    T Get()
    {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    std::wstring Text(bool isClass = false)
    {
        static const wchar_t* const kClasses[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
        WORD first = Get<WORD>();
        if (first == 0xFFFF) {
            WORD ordinal = Get<WORD>();
            bool predefined = isClass && ordinal >= 0x80 && ordinal < 0x86;
            return predefined ? kClasses[ordinal - 0x80] : L"#" + std::to_wstring(ordinal);
        }
        std::wstring text;
        for (WORD c = first; c != 0; c = Get<WORD>())
            text += static_cast<wchar_t>(c);
        return text;
    }

    const BYTE* m_start;
    const BYTE* m_at;
};

Template LoadTemplate(int id)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    EXPECT_NE(nullptr, found);
    if (!found)
        return Template();
    return TemplateReader(static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)))).Read();
}

void ExpectTemplate(const Template& expected, int id)
{
    Template actual = LoadTemplate(id);
    EXPECT_EQ(expected.style, actual.style);
    EXPECT_EQ(expected.exStyle, actual.exStyle);
    EXPECT_EQ(expected.cx, actual.cx);
    EXPECT_EQ(expected.cy, actual.cy);
    EXPECT_EQ(expected.caption, actual.caption);
    EXPECT_EQ(expected.pointSize, actual.pointSize);
    EXPECT_EQ(expected.font, actual.font);
    ASSERT_EQ(expected.controls.size(), actual.controls.size());
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const Control& e = expected.controls[i];
        const Control& a = actual.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " id " << e.id);
        EXPECT_EQ(e.id, a.id);
        EXPECT_EQ(0, _wcsicmp(e.className.c_str(), a.className.c_str())) << a.className;  // classes ignore case
        EXPECT_EQ(e.x, a.x);
        EXPECT_EQ(e.y, a.y);
        EXPECT_EQ(e.cx, a.cx);
        EXPECT_EQ(e.cy, a.cy);
        EXPECT_EQ(e.text, a.text);
        EXPECT_EQ(e.style, a.style & e.style);
    }
}

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kDialogFrame = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION;

TEST(DialogTemplates, ScanProgressDialogHasItsControlsCaptionAndFont)
{
    ExpectTemplate({kDialogFrame | WS_VISIBLE | WS_SYSMENU, WS_EX_APPWINDOW, 298, 62, L"Device scanning...", 8,
                    L"MS Shell Dlg",
                    {
                        {1000, L"msctls_progress32", 7, 42, 286, 13, L"", kChild | WS_BORDER},
                        {1001, L"Static", 7, 7, 20, 20, L"#128", kChild | SS_ICON},
                        {1002, L"Static", 30, 10, 253, 12,
                         L"Kavrol Inspectra is scanning your device. This can take some time.", kChild},
                        {1003, L"Static", 21, 31, 214, 9, L"Scanning the device...", kChild},
                        {1004, L"SysAnimate32", 7, 31, 15, 11, L"", kChild | ACS_TRANSPARENT | ACS_AUTOPLAY},
                    }},
                   IDD_SCAN_PROGRESS);
}

TEST(DialogTemplates, ReportFileDialogHasItsControlsCaptionAndFontAndNoSystemMenu)
{
    ExpectTemplate({kDialogFrame, 0, 315, 63, L"Define a report file", 8, L"Microsoft Sans Serif",
                    {
                        {IDOK, L"Button", 191, 44, 57, 14, L"OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
                        {IDCANCEL, L"Button", 252, 44, 57, 14, L"Cancel", kChild | WS_TABSTOP},
                        {-1, L"Static", 7, 7, 20, 20, L"#128", kChild | SS_ICON},
                        {1005, L"Edit", 7, 29, 274, 12, L"", kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
                        {1007, L"Button", 285, 29, 24, 12, L"...", kChild | WS_TABSTOP},
                        {-1, L"Static", 33, 7, 276, 19,
                         L"Kavrol Inspectra writes the results of the diagnosis to a report file. You need to "
                         L"specify the location of this file.",
                         kChild},
                        {IDHELP, L"Button", 7, 44, 57, 14, L"Help", kChild | WS_TABSTOP},
                    }},
                   IDD_SELECT_REPORT_FILE);
}

// Files present in the documents folder, and the name the dialog proposes.
struct ProposalCase {
    const char* name;
    std::vector<const wchar_t*> present;
    const wchar_t* locked;  // present but open without sharing
    const wchar_t* proposed;
};

void PrintTo(const ProposalCase& c, std::ostream* os) { *os << c.name; }

class ReportFileProposal : public ::testing::TestWithParam<ProposalCase> {};

TEST_P(ReportFileProposal, FirstNameThatIsNotTakenIsProposed)
{
    TempFolder folder;
    for (const wchar_t* name : GetParam().present)
        WriteFileBytes(folder.File(name), "x");
    HANDLE lock = INVALID_HANDLE_VALUE;
    if (GetParam().locked) {
        WriteFileBytes(folder.File(GetParam().locked), "x");
        lock = ::CreateFileW(folder.File(GetParam().locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    }
    wchar_t name[MAX_PATH];
    ProposeReportFileName(folder.path().c_str(), L"PC42", name);
    if (lock != INVALID_HANDLE_VALUE)
        ::CloseHandle(lock);
    EXPECT_EQ(folder.File(GetParam().proposed), name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ReportFileProposal,
    ::testing::Values(
        ProposalCase{"EmptyFolder", {}, nullptr, L"KvInspectraPC42.xml"},
        ProposalCase{"FirstTaken", {L"KvInspectraPC42.xml"}, nullptr, L"KvInspectraPC42_1.xml"},
        ProposalCase{"TwoTaken", {L"KvInspectraPC42.xml", L"KvInspectraPC42_1.xml"}, nullptr,
                     L"KvInspectraPC42_2.xml"},
        ProposalCase{"FirstFreeNumberWins", {L"KvInspectraPC42.xml", L"KvInspectraPC42_2.xml"},
                     nullptr, L"KvInspectraPC42_1.xml"},
        ProposalCase{"OnlyANumberedOneTaken", {L"KvInspectraPC42_1.xml"}, nullptr, L"KvInspectraPC42.xml"},
        ProposalCase{"LockedFileCountsAsFree", {}, L"KvInspectraPC42.xml", L"KvInspectraPC42.xml"},
        ProposalCase{"OtherNamesDoNotCount", {L"KvInspectraPC4.xml", L"KvInspectraPC42.xsl"}, nullptr,
                     L"KvInspectraPC42.xml"}),
    [](const ::testing::TestParamInfo<ProposalCase>& info) { return std::string(info.param.name); });

TEST(ReportFileProposal, NameThatDoesNotFitIsNotProposed)
{
    std::wstring folder = L"C:\\" + std::wstring(240, L'd');
    wchar_t name[MAX_PATH] = L"previous";
    ProposeReportFileName(folder.c_str(), L"PC42", name);
    EXPECT_STREQ(L"", name);
}

// Taken means: opens for reading without sharing, so a file someone else holds open
// is free to propose (and to replace without a question).
TEST(ReportFileProposal, FileIsTakenOnlyWhileNobodyElseHasItOpen)
{
    TempFolder folder;
    std::wstring path = folder.File(L"r.xml");
    EXPECT_FALSE(ReportFileIsTaken(path.c_str()));
    WriteFileBytes(path, "x");
    EXPECT_TRUE(ReportFileIsTaken(path.c_str()));
    HANDLE open = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReportFileIsTaken(path.c_str()));
    ::CloseHandle(open);
    EXPECT_TRUE(ReportFileIsTaken(path.c_str()));
}

}  // namespace
}  // namespace kv
