#include "app/startup.h"

#include "app/command_line.h"
#include "app/message_box.h"
#include "app/report_file_dialog.h"
#include "app/scan_context.h"
#include "app/scan_progress_dialog.h"
#include "app/scan_worker.h"
#include "device/device_interface.h"
#include "device/text_helpers.h"
#include "device/win_handles.h"
#include "report/report_document.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

namespace kv {
namespace {

// Where the two editions differ: the Roamdeck R96 (device type 22) is served by
// the 32-bit edition only; the 64-bit edition refuses it and sends its users there
// (message 108). KV_TEST_NO_R96_REFUSAL builds the 64-bit test program that runs
// the 32-bit edition's branches under the tests; it is never shipped.
#if defined(_WIN64) && !defined(KV_TEST_NO_R96_REFUSAL)
const bool kRefusesRoamdeckR96 = true;
#else
const bool kRefusesRoamdeckR96 = false;
#endif
const DWORD kRoamdeckR96 = 22;

// The executable's file name without its extension.
std::wstring ApplicationTitle()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = FileNameOf(path);
    size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

// A missing library, a missing entry point or a failing call all let the run go on.
bool DeviceIsRefused(DeviceInterface& device)
{
    if (device.deviceType == 0 && device.IxaGetDeviceType) {
        if (!device.IxaGetDeviceType(&device.deviceType))
            return false;
    }
    return kRefusesRoamdeckR96 && device.deviceType == kRoamdeckR96;
}

void ShowError(DWORD code, const std::wstring& caption)
{
    ShowMessageBox(nullptr, SystemErrorText(code), caption.c_str(), MB_ICONERROR);
}

void RunAutomaticScan(ScanContext& context)
{
    DWORD threadId = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, ScanWorker, &context, 0, &threadId);
    if (!thread)
        return;
    context.threadId = threadId;
    context.thread = thread;
    UniqueHandle owner(thread);
    ::WaitForSingleObject(thread, INFINITE);
}

// The dialog ends only after the worker's last message to it, so the wait for the
// worker is short; it keeps the context on this stack until the worker is gone.
void RunInteractiveScan(ScanContext& context)
{
    CKvInspectraRuntimeWin32Dlg dialog(context);
    ShowScanProgressDialog(context.instance, dialog);
    if (context.thread == INVALID_HANDLE_VALUE)
        return;
    UniqueHandle owner(context.thread);
    ::WaitForSingleObject(context.thread, INFINITE);
}

// The report's full name must fit a path field too: a relative name in a deep
// current folder would otherwise be cut or refused halfway through the files.
bool FullPathFits(const wchar_t* reportPath)
{
    wchar_t full[MAX_PATH];
    DWORD length = ::GetFullPathNameW(reportPath, MAX_PATH, full, nullptr);
    return length < MAX_PATH;
}

// An interactive run asks for the report file; false when the user gave up.
bool AskForReportFile(HINSTANCE instance, wchar_t (&reportPath)[260])
{
    CSelectReportFile dialog;
    if (ShowSelectReportFileDialog(instance, dialog) != IDOK)
        return false;
    wcscpy_s(reportPath, dialog.fileName);
    return true;
}

}  // namespace

void RunApplication(HINSTANCE instance, const wchar_t* commandLine)
{
    std::wstring caption = LoadResourceString(101);
    DeviceInterface device;
    device.Load();
    ScanContext context;

    if (DeviceIsRefused(device)) {
        ShowMessageBox(nullptr, LoadResourceString(108).c_str(), ApplicationTitle().c_str(), MB_ICONERROR);
        return;
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    CCustomCommandLineInfo commandLineInfo;
    commandLineInfo.ParseCommandLine(commandLine);
    if (commandLineInfo.invalidParameter) {
        ShowUsage(nullptr, 1);
        return;
    }
    if (commandLineInfo.reportFileNameTooLong) {
        ShowError(ERROR_FILENAME_EXCED_RANGE, caption);
        return;
    }
    // Without a report file name (-f= with nothing after it included) the run is
    // interactive. The dialog has already asked before an existing file is replaced.
    const bool interactive = commandLineInfo.reportFileName[0] == L'\0';
    int overwrite = commandLineInfo.overwrite;
    if (interactive) {
        if (!AskForReportFile(instance, context.reportPath))
            return;
        overwrite = 1;
    } else {
        wcscpy_s(context.reportPath, commandLineInfo.reportFileName);
    }

    if (!FullPathFits(context.reportPath)) {
        ShowError(ERROR_FILENAME_EXCED_RANGE, caption);
        return;
    }
    context.instance = instance;
    DWORD result = OpenReport(context.writer, context.reportPath, overwrite, UserAllowsReplacingReport);
    if (result == ERROR_FILE_EXISTS)
        return;
    if (result != ERROR_SUCCESS) {
        ShowError(result, caption);
        return;
    }
    if (interactive)
        RunInteractiveScan(context);
    else
        RunAutomaticScan(context);
}

}  // namespace kv
