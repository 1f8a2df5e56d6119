#include "app/dialog_position.h"

namespace kv {

void CenterOnScreen(HWND window)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    RECT frame;
    if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor) ||
        !::GetWindowRect(window, &frame))
        return;
    const RECT& work = monitor.rcWork;
    int x = work.left + ((work.right - work.left) - (frame.right - frame.left)) / 2;
    int y = work.top + ((work.bottom - work.top) - (frame.bottom - frame.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kv
