#include "alert.h"

#include "text.h"
#include "trace.h"

#include <windows.h>

namespace kvrec {

void ReportFailure(const std::string& text) noexcept
{
    try {
        kvsim::ReportProblem(("KvIxa recorder: " + text).c_str());
    } catch (...) {
    }
}

void ShowFailure(const std::string& text) noexcept
{
    ReportFailure(text);
    try {
        std::wstring wide;
        if (!kvsim::Utf8ToWide(text, wide))
            return;
        // No owner: the host's windows are not ours; topmost, so a progress dialog cannot hide it.
        ::MessageBoxW(nullptr, wide.c_str(), L"KvIxa recorder", MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    } catch (...) {
    }
}

}  // namespace kvrec
