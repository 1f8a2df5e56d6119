// Every message box of the program goes through this one seam, so tests can answer it.
#pragma once

#include <windows.h>

namespace kv {

using MessageBoxHandler = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// Replaces the handler (null restores MessageBoxW); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Question 102 about replacing an existing report, without owner. Only an
// explicit Yes allows it: a box that could not be shown is no consent.
bool UserAllowsReplacingReport(const wchar_t* reportPath);

}  // namespace kv
