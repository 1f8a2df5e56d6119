#include "app/scan_worker.h"

#include "app/message_box.h"
#include "app/sequences.h"
#include "device/text_helpers.h"
#include "device/win_handles.h"
#include "report/html_rendering.h"
#include "report/report_document.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

namespace kv {
namespace {

// Devices whose library answers the module temperature call (or fails it for any
// reason other than "no such function") belong to the module family.
const Sequence& ProbeFamily(DeviceInterface& device)
{
    if (!device.IxaGetModuleTemperatureValue)
        return SequenceB();
    DWORD value = 0;
    if (device.IxaGetModuleTemperatureValue(0, 0, 0, &value, sizeof value))
        return SequenceA();
    return ::GetLastError() == ERROR_INVALID_FUNCTION ? SequenceB() : SequenceA();
}

class Progress {
public:
    explicit Progress(HWND bar) : m_bar(bar) {}

    void SetRange(int maximum)
    {
        if (m_bar)
            ::SendMessageW(m_bar, PBM_SETRANGE, 0, MAKELPARAM(1, maximum));
    }
    void Step()
    {
        if (m_bar)
            ::SendMessageW(m_bar, PBM_SETPOS, ++m_finished, 0);
    }
    void Complete()
    {
        if (!m_bar)
            return;
        PBRANGE range = {};
        ::SendMessageW(m_bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        ::SendMessageW(m_bar, PBM_SETPOS, range.iHigh, 0);
    }

private:
    HWND m_bar;
    int m_finished = 0;
};

void RunGroup(std::unique_ptr<CTest> group, Progress& progress)
{
    group->RunTests();
    group->ReleaseDevice();
    progress.Step();
}

void RunSequence(const Sequence& sequence, ScanContext& context, Progress& progress)
{
    ReportWriter* writer = &context.writer;
    // Every group of the fixed part exists before the first one runs.
    std::vector<std::unique_ptr<CTest>> groups;
    for (int i = 0; i < sequence.groupCount; ++i)
        groups.push_back(sequence.groups[i](writer));

    progress.SetRange(sequence.progressMaximum);
    for (auto& group : groups)
        RunGroup(std::move(group), progress);

    if (!sequence.withModules)
        return;
    for (int module = 0; module < kPcModuleCount; ++module)
        RunGroup(MakePcModule(writer, static_cast<BYTE>(module)), progress);
    for (int panel = 0; panel < kPanelCount; ++panel) {
        for (int module = 0; module < kPanelModuleCount; ++module)
            RunGroup(MakePanelModule(writer, static_cast<BYTE>(panel), static_cast<BYTE>(module)), progress);
    }
}

bool CloseTheReport(ReportWriter& writer)
{
    if (writer.file == INVALID_HANDLE_VALUE)
        return false;
    DWORD result = CloseReport(writer.rootName, writer.file);
    writer.file = INVALID_HANDLE_VALUE;
    return result == ERROR_SUCCESS;
}

void OpenReportInViewer(const wchar_t* path)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_WAITFORINPUTIDLE;
    info.lpVerb = L"open";
    info.lpFile = path;
    info.nShow = SW_SHOW;
    if (::ShellExecuteExW(&info) && info.hProcess) {
        UniqueHandle process(info.hProcess);
        ::WaitForInputIdle(process.get(), 10000);
    }
}

// The last message the worker sends the dialog: from here on it may close.
void CloseDialog(ScanContext& context)
{
    context.dialogMayClose = true;
    ::SendMessageW(context.dialog, WM_CLOSE, 0, 0);
}

void FinishInteractiveRun(ScanContext& context, bool closed, const std::wstring& caption)
{
    if (!closed) {
        ShowMessageBox(nullptr, LoadResourceString(107).c_str(), caption.c_str(), MB_ICONERROR);
        CloseDialog(context);
        return;
    }
    wchar_t format[260];
    if (::LoadStringW(context.instance, 104, format, 260) > 0) {
        wchar_t prompt[1024];
        ::wsprintfW(prompt, format, context.reportPath);
        // The question is about the report: Yes opens the XML in the program registered
        // for it, which applies the stylesheet; the page stays beside it for any browser.
        if (ShowMessageBox(context.dialog, prompt, caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES)
            OpenReportInViewer(context.reportPath);
    }
    CloseDialog(context);
}

}  // namespace

DWORD WINAPI ScanWorker(LPVOID parameter)
{
    ScanContext& context = *static_cast<ScanContext*>(parameter);
    std::wstring caption = LoadResourceString(101);
    DeviceInterface device;
    device.Load();

    Progress progress(context.progressBar);
    RunSequence(ProbeFamily(device), context, progress);
    progress.Complete();

    bool closed = CloseTheReport(context.writer);
    // A failed rendering changes nothing else and is not reported: the XML and its
    // stylesheet are complete on their own.
    if (closed)
        RenderReportHtml(context.reportPath);
    if (context.dialog)
        FinishInteractiveRun(context, closed, caption);
    return 0;
}

}  // namespace kv
