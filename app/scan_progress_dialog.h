// The scan progress dialog of an interactive run: a looping animation, a progress
// bar and two lines of text while the scan worker, which it starts, runs.
#pragma once

#include "app/scan_context.h"

#include <windows.h>

namespace kv {

struct CKvInspectraRuntimeWin32Dlg {
    // Loads the application icon.
    explicit CKvInspectraRuntimeWin32Dlg(ScanContext& scanContext);

    HICON icon = nullptr;
    HWND progressBar = nullptr;
    HWND animation = nullptr;
    HWND statusText = nullptr;
    // Not owned: the caller keeps the context alive until the worker has ended.
    ScanContext* context = nullptr;
};

// Runs the dialog modally. Its initialisation starts the scan worker; the dialog
// refuses to close until the worker asks it to (ScanContext::dialogMayClose), so
// the worker has finished with it when this returns. Returns -1 when the dialog
// could not be shown.
INT_PTR ShowScanProgressDialog(HINSTANCE instance, CKvInspectraRuntimeWin32Dlg& dialog);

}  // namespace kv
