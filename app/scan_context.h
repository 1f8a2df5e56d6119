// The record shared by start-up, the progress dialog and the scan worker. It lives
// on the start-up thread's stack for the whole run.
#pragma once

#include "report/xml_writer.h"

#include <windows.h>

#include <atomic>

namespace kv {

struct ScanContext {
    HWND dialog = nullptr;  // null in an automatic run
    wchar_t reportPath[260] = {};
    DWORD threadId = 0;
    HANDLE thread = INVALID_HANDLE_VALUE;
    HWND progressBar = nullptr;  // null in an automatic run
    HWND statusText = nullptr;   // null in an automatic run
    HINSTANCE instance = nullptr;
    ReportWriter writer;
    // Set by the worker just before it closes the progress dialog. Until then the
    // dialog refuses to close, so the worker never talks to a dead dialog and the
    // context outlives it.
    std::atomic<bool> dialogMayClose{false};
};

}  // namespace kv
