#include "app/report_file_dialog.h"

#include "app/command_line.h"
#include "app/dialog_position.h"
#include "app/message_box.h"
#include "device/text_helpers.h"
#include "resource.h"

#include <commdlg.h>
#include <shlobj.h>

#include <string>

namespace kv {
namespace {

const int kDocumentsFolder = 5;  // CSIDL_PERSONAL
const wchar_t kFallbackFolder[] = L"C:\\Temp";
const wchar_t kFallbackComputer[] = L"Unknown";
const wchar_t kBrowseFilter[] = L"Report Files (*.xml)\0*.xml\0All Files (*.*)\0*.*\0";

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? name : kFallbackComputer;
}

std::wstring DocumentsFolder()
{
    wchar_t folder[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, folder, kDocumentsFolder, FALSE) ? folder : kFallbackFolder;
}

CSelectReportFile* DialogData(HWND dialog)
{
    return reinterpret_cast<CSelectReportFile*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

int ShowBox(HWND dialog, const wchar_t* text, UINT flags)
{
    return ShowMessageBox(dialog, text, LoadResourceString(101).c_str(), flags);
}

void OnInitDialog(HWND dialog, CSelectReportFile& data)
{
    ::SetDlgItemTextW(dialog, IDC_REPORT_FILE_NAME, data.fileName);
    std::wstring title;
    ProgramTitleText(title);
    ::SetWindowTextW(dialog, title.c_str());
    CenterOnScreen(dialog);
}

// The save-file dialog, starting from the name in the edit box; it does not ask
// about replacing a file, OK does.
void OnBrowse(HWND dialog, CSelectReportFile& data)
{
    std::wstring title = LoadResourceString(106);
    wchar_t name[MAX_PATH] = {};
    ::GetDlgItemTextW(dialog, IDC_REPORT_FILE_NAME, name, MAX_PATH);

    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    request.lpstrFilter = kBrowseFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = name;
    request.nMaxFile = MAX_PATH;
    request.lpstrTitle = title.c_str();
    request.lpstrDefExt = L"xml";
    request.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_CREATEPROMPT | OFN_EXPLORER;
    if (!::GetSaveFileNameW(&request))
        return;
    wcscpy_s(data.fileName, name);
    ::SetDlgItemTextW(dialog, IDC_REPORT_FILE_NAME, data.fileName);
}

void OnOk(HWND dialog, CSelectReportFile& data)
{
    ::GetDlgItemTextW(dialog, IDC_REPORT_FILE_NAME, data.fileName, MAX_PATH);
    if (data.fileName[0] == L'\0') {
        ShowBox(dialog, LoadResourceString(118).c_str(), MB_ICONERROR);
        return;
    }
    if (ReportFileIsTaken(data.fileName)) {
        wchar_t question[1024];
        ::wsprintfW(question, LoadResourceString(102).c_str(), data.fileName);
        // Only Yes replaces the file: a question that could not be shown is no consent.
        if (ShowBox(dialog, question, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    ::EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SelectReportFileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInitDialog(dialog, *DialogData(dialog));
        return TRUE;
    }
    CSelectReportFile* data = DialogData(dialog);
    if (message != WM_COMMAND || !data)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_REPORT_FILE_BROWSE:
        OnBrowse(dialog, *data);
        return TRUE;
    case IDOK:
        OnOk(dialog, *data);
        return TRUE;
    case IDHELP:
        ShowUsage(dialog, 0);
        return TRUE;
    case IDCANCEL:
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

CSelectReportFile::CSelectReportFile()
{
    ProposeReportFileName(DocumentsFolder().c_str(), ComputerName().c_str(), fileName);
}

INT_PTR ShowSelectReportFileDialog(HINSTANCE instance, CSelectReportFile& dialog)
{
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SELECT_REPORT_FILE), nullptr, SelectReportFileProc,
                             reinterpret_cast<LPARAM>(&dialog));
}

bool ReportFileIsTaken(const wchar_t* path)
{
    HANDLE file = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

void ProposeReportFileName(const wchar_t* folder, const wchar_t* computer, wchar_t (&name)[MAX_PATH])
{
    const std::wstring stem = std::wstring(folder) + L"\\KvInspectra" + computer;
    std::wstring candidate = stem + L".xml";
    for (int counter = 1; ReportFileIsTaken(candidate.c_str()); ++counter)
        candidate = stem + Format(L"_%d", counter) + L".xml";
    // A cut name would be a different file: propose none and let the user choose.
    name[0] = L'\0';
    if (candidate.size() < MAX_PATH)
        wcscpy_s(name, candidate.c_str());
}

}  // namespace kv
