// The scan: picks the test sequence, runs every group against the open report and
// closes it. Runs on its own thread; the parameter is the ScanContext.
#pragma once

#include "app/scan_context.h"

namespace kv {

DWORD WINAPI ScanWorker(LPVOID parameter);

}  // namespace kv
