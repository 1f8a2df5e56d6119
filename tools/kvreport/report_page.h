// The page of a report, as summary links it: "<report>.html" beside the report.
#pragma once

#include "tools/kvreport/report_model.h"

#include <windows.h>

#include <string>

namespace kvreport {

// "<report>.html" beside the report.
std::wstring PageOf(const std::wstring& reportPath);

// Renders the page beside the report when it is not there: through the stylesheet
// beside the report; for an incomplete report or one without its stylesheet, from a
// copy with the program's stylesheet in a temporary folder beside it. The report is
// never changed. Returns 0 or a Win32 error code.
DWORD EnsureReportPage(const Report& report);

// A link from a page in folder to the file target, both full paths: relative
// ("../line4/report.html"), or a file URL when they are on different drives or shares;
// every character but letters, digits and "-._~" percent-encoded as UTF-8.
std::wstring RelativeLink(const std::wstring& folder, const std::wstring& target);

// The link from the page at pagePath to target, paths as the user gave them.
std::wstring LinkFromPage(const std::wstring& pagePath, const std::wstring& target);

}  // namespace kvreport
