#include "app/scan_progress_dialog.h"

#include "app/dialog_position.h"
#include "app/scan_worker.h"
#include "device/text_helpers.h"
#include "resource.h"

#include <commctrl.h>

#include <string>

namespace kv {
namespace {

const UINT kProgramMenuCommand = 0x10;  // the system menu item named after the program; it does nothing

CKvInspectraRuntimeWin32Dlg* DialogData(HWND dialog)
{
    return reinterpret_cast<CKvInspectraRuntimeWin32Dlg*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

void AppendProgramMenuItem(HWND dialog)
{
    HMENU menu = ::GetSystemMenu(dialog, FALSE);
    std::wstring name = LoadResourceString(101);
    if (!menu || name.empty())
        return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kProgramMenuCommand, name.c_str());
}

void PlayAnimation(HWND animation, HINSTANCE instance)
{
    ::SendMessageW(animation, ACM_OPENW, reinterpret_cast<WPARAM>(instance),
                   reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(IDR_SCAN_ANIMATION)));
    // Endless repeats, first frame to last.
    ::SendMessageW(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
}

// Hands the dialog to the context and starts the worker. False when no thread
// could be made: the dialog then has nothing to wait for.
bool StartWorker(HWND dialog, CKvInspectraRuntimeWin32Dlg& data)
{
    ScanContext& context = *data.context;
    context.dialog = dialog;
    context.progressBar = data.progressBar;
    context.statusText = data.statusText;
    DWORD threadId = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, ScanWorker, &context, 0, &threadId);
    if (!thread)
        return false;
    context.thread = thread;
    context.threadId = threadId;
    return true;
}

void OnInitDialog(HWND dialog, CKvInspectraRuntimeWin32Dlg& data)
{
    data.progressBar = ::GetDlgItem(dialog, IDC_SCAN_PROGRESS);
    data.animation = ::GetDlgItem(dialog, IDC_SCAN_ANIMATION);
    data.statusText = ::GetDlgItem(dialog, IDC_SCAN_STATUS);

    AppendProgramMenuItem(dialog);
    ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(data.icon));
    ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(data.icon));
    std::wstring title;
    ProgramTitleText(title);
    ::SetWindowTextW(dialog, title.c_str());
    CenterOnScreen(dialog);
    PlayAnimation(data.animation, data.context->instance);

    if (!StartWorker(dialog, data)) {
        data.context->dialogMayClose = true;
        ::EndDialog(dialog, -1);
        return;
    }
    // The close button shows what Escape and Alt+F4 find out: not while scanning.
    ::EnableMenuItem(::GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

// While minimised the dialog shows its icon centred in the client area.
bool PaintIcon(HWND dialog, HICON icon)
{
    if (!::IsIconic(dialog))
        return false;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(dialog, &paint);
    ::SendMessageW(dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(dialog, &client);
    int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
    ::EndPaint(dialog, &paint);
    return true;
}

// Escape, Alt+F4 and the close button all end up here; only the worker's own
// WM_CLOSE at the end of the scan gets through.
void OnCloseRequest(HWND dialog, const CKvInspectraRuntimeWin32Dlg& data)
{
    if (data.context->dialogMayClose)
        ::EndDialog(dialog, IDCANCEL);
}

INT_PTR CALLBACK ScanProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInitDialog(dialog, *DialogData(dialog));
        return TRUE;
    }
    CKvInspectraRuntimeWin32Dlg* data = DialogData(dialog);
    if (!data)  // a message before the initialisation
        return FALSE;
    switch (message) {
    case WM_PAINT:
        return PaintIcon(dialog, data->icon) ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(data->icon);
    case WM_CLOSE:
        OnCloseRequest(dialog, *data);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL && LOWORD(wParam) != IDOK)
            return FALSE;
        OnCloseRequest(dialog, *data);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

CKvInspectraRuntimeWin32Dlg::CKvInspectraRuntimeWin32Dlg(ScanContext& scanContext)
    : icon(::LoadIconW(scanContext.instance, MAKEINTRESOURCEW(IDR_MAINFRAME))), context(&scanContext)
{
}

INT_PTR ShowScanProgressDialog(HINSTANCE instance, CKvInspectraRuntimeWin32Dlg& dialog)
{
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SCAN_PROGRESS), nullptr, ScanProgressProc,
                             reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kv
