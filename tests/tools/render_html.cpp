// Renders a report into its HTML page as the program does after a scan, optionally
// with another stylesheet: for the rendering benchmark and the failure tests.
// Prints the HRESULT in hexadecimal.
#include "report/html_rendering.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    HRESULT hr = argc > 2 ? kv::RenderReportHtml(argv[1], argv[2]) : kv::RenderReportHtml(argv[1]);
    printf("%08lX\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}
