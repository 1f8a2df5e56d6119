// The report rendered into a self-contained HTML page beside it, with the same
// stylesheet, through Windows' own XSLT processor. Browsers that refuse to apply
// the stylesheet to a local XML file (or no longer do XSLT at all) open this page.
#pragma once

#include <windows.h>

#include <string>

namespace kv {

// Renders the closed report with the stylesheet into "<report name>.html" (UTF-8),
// replacing an existing page. On failure no page is left beside the report (an old
// one would show another scan) and the report and stylesheet stay as they are.
// No page at all when its name is the report's or the stylesheet's: both stay as they
// are. Returns S_OK or the failing HRESULT.
HRESULT RenderReportHtml(const wchar_t* reportPath, const wchar_t* stylesheetPath);

// The rendering of a report through its own stylesheet beside it.
HRESULT RenderReportHtml(const wchar_t* reportPath);

}  // namespace kv
