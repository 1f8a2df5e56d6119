// The whole run, from the device check to the end of the scan.
#pragma once

#include <windows.h>

namespace kv {

// Runs the program once with the process command line; returns when the run has
// ended. There is no exit code: every outcome is a message box or the report.
void RunApplication(HINSTANCE instance, const wchar_t* commandLine);

}  // namespace kv
