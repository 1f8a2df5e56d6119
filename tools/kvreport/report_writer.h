// Writes a report of the model back in the program's own layout, through the program's
// own primitives: redact's output, line for line what the program would have written.
#pragma once

#include "tools/kvreport/report_model.h"

#include <windows.h>

#include <string>

namespace kvreport {

// The report alone, at path, referring to its stylesheet by stylesheetName. An
// incomplete report is written as far as it goes, its open elements left open.
// Returns 0 or a Win32 error code; on failure the file may be left half-written.
DWORD WriteReportFile(const Report& report, const std::wstring& path, const std::wstring& stylesheetName);

// The program's report stylesheet, at path.
DWORD WriteStylesheet(const std::wstring& path);

// The report to path and the stylesheet beside it, both under temporary names moved
// into place. Returns 0 or a Win32 error code.
DWORD WriteReport(const Report& report, const std::wstring& path);

}  // namespace kvreport
