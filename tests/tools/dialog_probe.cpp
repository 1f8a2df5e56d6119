// Drives the windows of the program under test, as a user would, without keys from
// the X server: waits for a dialog or message box of another process, reads it and
// answers it with the messages its controls send. The GUI tests run it with a list
// of steps, carried out in order; each step that reads prints one JSON line (UTF-8).
//
//   wait:<which>      wait for a visible dialog of another process and make it the current
//                     one; which: report (has control 1005), progress (has control 1004),
//                     box (a message box), or title=<exact caption>
//   dump              print the current window: caption, styles, icons, controls
//   set:<id>=<text>   WM_SETTEXT to a control
//   click:<id>        WM_COMMAND as a click on the button with that id
//   key:<vk>          WM_KEYDOWN and WM_KEYUP of a virtual key (decimal) posted to the
//                     window with the focus, so the dialog manager handles it as typed
//   close             WM_CLOSE, sent (returns after the dialog has handled it)
//   sysclose          WM_SYSCOMMAND SC_CLOSE, sent: what Alt+F4 and the close button do
//   minimize, restore WM_SYSCOMMAND SC_MINIMIZE or SC_RESTORE, sent: the caption's buttons
//   gone              wait until the current window is gone
//   frames:<id>       watch a control on the screen for 2.4 s: how many different pictures
//                     it showed in all and in the second half
//   lock:<path>       open a file for reading without sharing until the probe ends
//   computer          print the computer name
//   timeout:<ms>      how long later waits wait (default 20000)
//   program:<path>    later waits look only at windows of processes running that file
//   opened:<file>     not a step: the whole command line of a program registered to open
//                     reports; appends the rest of the arguments to <file> and ends
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text

struct Probe {
    HWND window = nullptr;
    DWORD timeout = 20000;
    std::wstring program;  // only windows of processes running this file, when set
    std::vector<HANDLE> locks;
};

std::wstring WindowText(HWND window)
{
    wchar_t text[8192] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return name;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
    return static_cast<LRESULT>(result);
}

std::vector<HWND> Children(HWND window)
{
    std::vector<HWND> children;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

bool HasControl(HWND window, int id)
{
    for (HWND child : Children(window)) {
        if (::GetDlgCtrlID(child) == id)
            return true;
    }
    return false;
}

// Only statics and buttons, one of them the message text.
bool IsMessageBox(HWND window)
{
    bool hasText = false;
    for (HWND child : Children(window)) {
        std::wstring name = ClassOf(child);
        if (_wcsicmp(name.c_str(), L"Static") != 0 && _wcsicmp(name.c_str(), L"Button") != 0)
            return false;
        hasText = hasText || (::GetDlgCtrlID(child) & 0xFFFF) == kMessageTextId;
    }
    return hasText;
}

bool Matches(HWND window, const std::wstring& which)
{
    if (which == L"report")
        return HasControl(window, 1005);
    if (which == L"progress")
        return HasControl(window, 1004);
    if (which == L"box")
        return IsMessageBox(window);
    if (which.compare(0, 6, L"title=") == 0)
        return WindowText(window) == which.substr(6);
    return false;
}

struct Search {
    const Probe* probe;
    const std::wstring* which;
    HWND found;
};

bool RunsProgram(DWORD process, const std::wstring& program)
{
    HANDLE handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle)
        return false;
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    bool same = ::QueryFullProcessImageNameW(handle, 0, path, &size) && _wcsicmp(path, program.c_str()) == 0;
    ::CloseHandle(handle);
    return same;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter)
{
    Search& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId() || !::IsWindowVisible(window) || ClassOf(window) != L"#32770")
        return TRUE;
    if (!search.probe->program.empty() && !RunsProgram(process, search.probe->program))
        return TRUE;
    if (!Matches(window, *search.which))
        return TRUE;
    search.found = window;
    return FALSE;
}

bool Wait(Probe& probe, const std::wstring& which)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        Search search = {&probe, &which, nullptr};
        ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            probe.window = search.found;
            ::Sleep(100);  // let the dialog finish its initialisation
            return true;
        }
        if (::GetTickCount() - start > probe.timeout)
            return false;
        ::Sleep(50);
    }
}

bool Gone(Probe& probe)
{
    DWORD start = ::GetTickCount();
    while (::IsWindow(probe.window) && ::IsWindowVisible(probe.window)) {
        if (::GetTickCount() - start > probe.timeout)
            return false;
        ::Sleep(50);
    }
    return true;
}

std::wstring Json(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            wchar_t escaped[8];
            swprintf_s(escaped, L"\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring Number(long long value)
{
    return std::to_wstring(value);
}

std::wstring Bool(bool value)
{
    return value ? L"true" : L"false";
}

void Print(const std::wstring& line)
{
    std::wstring text = line + L"\n";
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// The control's picture on the screen, one colour per pixel, row by row.
std::vector<COLORREF> ScreenPixels(HWND control)
{
    RECT r;
    ::GetWindowRect(control, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels.push_back(::GetPixel(memory, x, y));
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Which of the system's message box icons a static icon control shows: each is drawn
// here over the control's background and compared pixel by pixel.
std::wstring SystemIconName(HWND control)
{
    static const struct {
        const wchar_t* name;
        LPCWSTR id;
    } kIcons[] = {{L"error", IDI_HAND}, {L"question", IDI_QUESTION}, {L"warning", IDI_EXCLAMATION},
                  {L"information", IDI_ASTERISK}};
    std::vector<COLORREF> shown = ScreenPixels(control);
    RECT r;
    ::GetClientRect(control, &r);
    if (shown.empty() || shown.size() != static_cast<size_t>(r.right * r.bottom))
        return L"";
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    HBRUSH background = ::CreateSolidBrush(shown[0]);
    std::wstring found;
    for (const auto& icon : kIcons) {
        ::FillRect(memory, &r, background);
        ::DrawIconEx(memory, 0, 0, ::LoadIconW(nullptr, icon.id), r.right, r.bottom, 0, nullptr, DI_NORMAL);
        bool same = true;
        for (int y = 0; y < r.bottom && same; ++y) {
            for (int x = 0; x < r.right && same; ++x)
                same = ::GetPixel(memory, x, y) == shown[static_cast<size_t>(y * r.right + x)];
        }
        if (same) {
            found = icon.name;
            break;
        }
    }
    ::DeleteObject(background);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return found;
}

// What a control shows beyond its text: progress, animation, icon.
std::wstring ControlState(HWND control)
{
    std::wstring name = ClassOf(control);
    if (_wcsicmp(name.c_str(), PROGRESS_CLASSW) == 0) {
        return L", \"pos\": " + Number(Send(control, PBM_GETPOS, 0, 0)) +
               L", \"low\": " + Number(Send(control, PBM_GETRANGE, TRUE, 0)) +
               L", \"high\": " + Number(Send(control, PBM_GETRANGE, FALSE, 0));
    }
    if (_wcsicmp(name.c_str(), L"Static") == 0 && (::GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        return L", \"icon\": " + Bool(Send(control, STM_GETICON, 0, 0) != 0) + L", \"sysicon\": " +
               Json(SystemIconName(control));
    return L"";
}

std::wstring RectJson(const RECT& r)
{
    return L"[" + Number(r.left) + L", " + Number(r.top) + L", " + Number(r.right - r.left) + L", " +
           Number(r.bottom - r.top) + L"]";
}

void Dump(const Probe& probe)
{
    HWND window = probe.window;
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
    RECT frame;
    ::GetWindowRect(window, &frame);
    std::wstring json = L"{\"caption\": " + Json(WindowText(window)) +
                        L", \"style\": " + Number(static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE))) +
                        L", \"exstyle\": " + Number(static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE))) +
                        L", \"visible\": " + Bool(::IsWindowVisible(window) != FALSE) +
                        L", \"iconic\": " + Bool(::IsIconic(window) != FALSE) +
                        L", \"enabled\": " + Bool(::IsWindowEnabled(window) != FALSE) +
                        L", \"rect\": " + RectJson(frame) + L", \"screen\": [" +
                        Number(::GetSystemMetrics(SM_CXSCREEN)) + L", " + Number(::GetSystemMetrics(SM_CYSCREEN)) +
                        L"]" +
                        L", \"focus\": " + Number(thread.hwndFocus ? ::GetDlgCtrlID(thread.hwndFocus) : 0) +
                        L", \"controls\": [";
    bool first = true;
    for (HWND control : Children(window)) {
        if (::GetParent(control) != window)
            continue;
        RECT r;
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        json += first ? L"" : L", ";
        first = false;
        json += L"{\"id\": " + Number(::GetDlgCtrlID(control)) + L", \"class\": " + Json(ClassOf(control)) +
                L", \"text\": " + Json(WindowText(control)) +
                L", \"style\": " + Number(static_cast<DWORD>(::GetWindowLongW(control, GWL_STYLE))) +
                L", \"visible\": " + Bool(::IsWindowVisible(control) != FALSE) +
                L", \"enabled\": " + Bool(::IsWindowEnabled(control) != FALSE) + L", \"rect\": " + RectJson(r) +
                ControlState(control) + L"}";
    }
    Print(json + L"]}");
}

int ControlId(const std::wstring& text)
{
    return static_cast<int>(wcstol(text.c_str(), nullptr, 10));
}

// Samples the control's pixels on the screen: how many different pictures it showed,
// and how many of them in the second half, after a clip played once would have stopped.
void Frames(const Probe& probe, int id)
{
    const int kSamples = 24;
    const DWORD kInterval = 100;
    HWND control = ::GetDlgItem(probe.window, id);
    std::vector<std::vector<COLORREF>> seen;
    std::vector<std::vector<COLORREF>> late;
    auto add = [](std::vector<std::vector<COLORREF>>& list, const std::vector<COLORREF>& pixels) {
        for (const auto& picture : list) {
            if (picture == pixels)
                return;
        }
        list.push_back(pixels);
    };
    for (int sample = 0; sample < kSamples; ++sample) {
        std::vector<COLORREF> pixels = ScreenPixels(control);
        add(seen, pixels);
        if (sample >= kSamples / 2)
            add(late, pixels);
        ::Sleep(kInterval);
    }
    Print(L"{\"frames\": " + Number(static_cast<long long>(seen.size())) +
          L", \"late\": " + Number(static_cast<long long>(late.size())) + L"}");
}

void PostKey(const Probe& probe, UINT key)
{
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(probe.window, nullptr), &thread);
    HWND target = thread.hwndFocus ? thread.hwndFocus : probe.window;
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// One step; false stops the list (the reason is printed).
bool Step(Probe& probe, const std::wstring& step)
{
    size_t colon = step.find(L':');
    std::wstring verb = step.substr(0, colon);
    std::wstring argument = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
    if (verb == L"program") {
        probe.program = argument;
        return true;
    }
    if (verb == L"timeout") {
        probe.timeout = wcstoul(argument.c_str(), nullptr, 10);
        return true;
    }
    if (verb == L"wait") {
        if (Wait(probe, argument))
            return true;
        Print(L"{\"error\": " + Json(L"nothing appeared for " + step) + L"}");
        return false;
    }
    if (verb == L"computer") {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        ::GetComputerNameW(name, &size);
        Print(L"{\"computer\": " + Json(name) + L"}");
        return true;
    }
    if (verb == L"lock") {
        HANDLE file = ::CreateFileW(argument.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        probe.locks.push_back(file);
        Print(L"{\"locked\": " + Bool(file != INVALID_HANDLE_VALUE) + L"}");
        return true;
    }
    if (!probe.window) {
        Print(L"{\"error\": " + Json(step + L" before any wait") + L"}");
        return false;
    }
    if (verb == L"dump") {
        Dump(probe);
    } else if (verb == L"set") {
        size_t equals = argument.find(L'=');
        HWND control = ::GetDlgItem(probe.window, ControlId(argument.substr(0, equals)));
        std::wstring text = equals == std::wstring::npos ? L"" : argument.substr(equals + 1);
        Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (verb == L"click") {
        int id = ControlId(argument);
        ::PostMessageW(probe.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(probe.window, id)));
    } else if (verb == L"key") {
        PostKey(probe, static_cast<UINT>(ControlId(argument)));
    } else if (verb == L"close") {
        Send(probe.window, WM_CLOSE, 0, 0);
    } else if (verb == L"sysclose") {
        Send(probe.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (verb == L"minimize") {
        Send(probe.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (verb == L"restore") {
        Send(probe.window, WM_SYSCOMMAND, SC_RESTORE, 0);
    } else if (verb == L"frames") {
        Frames(probe, ControlId(argument));
    } else if (verb == L"gone") {
        if (!Gone(probe)) {
            Print(L"{\"error\": " + Json(L"the window stayed for " + step) + L"}");
            return false;
        }
    } else {
        Print(L"{\"error\": " + Json(L"unknown step " + step) + L"}");
        return false;
    }
    return true;
}

// The program a report is opened with, for the tests: notes what it was given.
int RecordOpened(int argc, wchar_t** argv, const std::wstring& file)
{
    std::wstring line;
    for (int i = 2; i < argc; ++i)
        line += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
    line += L"\n";
    HANDLE out = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 1;
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(out, utf8.data(), static_cast<DWORD>(bytes - 1), &written, nullptr);
    ::CloseHandle(out);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && wcsncmp(argv[1], L"opened:", 7) == 0)
        return RecordOpened(argc, argv, argv[1] + 7);
    Probe probe;
    int result = 0;
    for (int i = 1; i < argc && result == 0; ++i)
        result = Step(probe, argv[i]) ? 0 : 1;
    for (HANDLE lock : probe.locks) {
        if (lock != INVALID_HANDLE_VALUE)
            ::CloseHandle(lock);
    }
    return result;
}
