// Drives the windows of the program under test, as a user would, without keys from
// the X server: waits for a dialog or message box of another process, reads it and
// answers it with the messages its controls send. The GUI tests run it with a list
// of steps, carried out in order; each step that reads prints one JSON line (UTF-8),
// a step that fails prints {"error": ...} and ends the list.
//
//   program:<path>    later waits look only at windows of processes running that file
//   wait:<which>      wait for a visible dialog and make it the current window; which:
//                     report (has control 1005), progress (has control 1004), box (a
//                     message box), or title=<exact caption>
//   gone              wait until the current window is gone
//   dump              print the current window: caption, styles, place, focus, controls
//   set:<id>=<text>   WM_SETTEXT to a control
//   click:<id>        WM_COMMAND as a click on the button with that id
//   key:<vk>          WM_KEYDOWN and WM_KEYUP of a virtual key posted to the window with
//                     the focus, so the dialog manager handles it as typed
//   close             WM_CLOSE, sent (returns after the dialog has handled it)
//   sysclose, minimize, restore   WM_SYSCOMMAND SC_CLOSE, SC_MINIMIZE, SC_RESTORE, sent:
//                     what Alt+F4 and the caption's buttons do
//   frames:<id>       watch a control on the screen for 2.4 s: how many different pictures
//                     it showed in all and in the second half
//   lock:<path>       open a file for reading without sharing until the probe ends
//   computer          print the computer name
//   opened:<file>     not a step: as the program registered to open reports, appends the
//                     rest of its arguments as one line to <file> and ends
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text
const DWORD kWaitMs = 20000;

using Picture = std::vector<COLORREF>;

struct Probe {
    HWND window = nullptr;
    std::wstring program;
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

bool IsClass(HWND window, const wchar_t* name)
{
    return _wcsicmp(ClassOf(window).c_str(), name) == 0;
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

bool Matches(HWND window, const std::wstring& which)
{
    if (which.compare(0, 6, L"title=") == 0)
        return WindowText(window) == which.substr(6);
    bool onlyStaticsAndButtons = true;
    bool hasMessageText = false;
    for (HWND child : Children(window)) {
        int id = ::GetDlgCtrlID(child);
        if ((which == L"report" && id == 1005) || (which == L"progress" && id == 1004))
            return true;
        onlyStaticsAndButtons = onlyStaticsAndButtons && (IsClass(child, L"Static") || IsClass(child, L"Button"));
        hasMessageText = hasMessageText || (id & 0xFFFF) == kMessageTextId;
    }
    return which == L"box" && onlyStaticsAndButtons && hasMessageText;
}

bool RunsProgram(DWORD process, const std::wstring& program)
{
    HANDLE handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    bool same = handle && ::QueryFullProcessImageNameW(handle, 0, path, &size) && _wcsicmp(path, program.c_str()) == 0;
    if (handle)
        ::CloseHandle(handle);
    return same;
}

HWND FindDialog(const Probe& probe, const std::wstring& which)
{
    for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == ::GetCurrentProcessId() || !::IsWindowVisible(window) || ClassOf(window) != L"#32770")
            continue;
        if ((probe.program.empty() || RunsProgram(process, probe.program)) && Matches(window, which))
            return window;
    }
    return nullptr;
}

// Polls until done() holds, for at most kWaitMs.
template <typename Done>
bool WaitUntil(Done done)
{
    for (DWORD start = ::GetTickCount(); !done(); ::Sleep(50)) {
        if (::GetTickCount() - start > kWaitMs)
            return false;
    }
    return true;
}

std::wstring Json(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        wchar_t escaped[8];
        swprintf_s(escaped, L"\\u%04x", static_cast<unsigned>(c));
        out += c == L'"' || c == L'\\' ? std::wstring(L"\\") + c : c < 0x20 ? std::wstring(escaped) : std::wstring(1, c);
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

std::string Utf8(const std::wstring& text)
{
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

void Print(const std::wstring& line)
{
    std::string utf8 = Utf8(line + L"\n");
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// Draws into a bitmap of the given size and reads its pixels back, row by row.
template <typename Draw>
Picture Render(int width, int height, Draw draw)
{
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    draw(memory, screen);
    Picture pixels;
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

// What the control shows on the screen.
Picture ScreenPicture(HWND control)
{
    RECT r;
    ::GetWindowRect(control, &r);
    return Render(r.right - r.left, r.bottom - r.top,
                  [&r](HDC memory, HDC screen) {
                      ::BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
                  });
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
    Picture shown = ScreenPicture(control);
    RECT r;
    ::GetClientRect(control, &r);
    if (shown.size() != static_cast<size_t>(r.right * r.bottom) || shown.empty())
        return L"";
    for (const auto& icon : kIcons) {
        Picture drawn = Render(r.right, r.bottom, [&](HDC memory, HDC) {
            HBRUSH background = ::CreateSolidBrush(shown[0]);
            ::FillRect(memory, &r, background);
            ::DeleteObject(background);
            ::DrawIconEx(memory, 0, 0, ::LoadIconW(nullptr, icon.id), r.right, r.bottom, 0, nullptr, DI_NORMAL);
        });
        if (drawn == shown)
            return icon.name;
    }
    return L"";
}

// What a control shows beyond its text: progress or icon.
std::wstring ControlState(HWND control)
{
    if (IsClass(control, PROGRESS_CLASSW)) {
        return L", \"pos\": " + Number(Send(control, PBM_GETPOS, 0, 0)) +
               L", \"low\": " + Number(Send(control, PBM_GETRANGE, TRUE, 0)) +
               L", \"high\": " + Number(Send(control, PBM_GETRANGE, FALSE, 0));
    }
    if (IsClass(control, L"Static") && (::GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        return L", \"icon\": " + Bool(Send(control, STM_GETICON, 0, 0) != 0) +
               L", \"sysicon\": " + Json(SystemIconName(control));
    }
    return L"";
}

GUITHREADINFO ThreadInfo(HWND window)
{
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread);
    return thread;
}

void Dump(HWND window)
{
    HWND focus = ThreadInfo(window).hwndFocus;
    RECT r;
    ::GetWindowRect(window, &r);
    std::wstring json = L"{\"caption\": " + Json(WindowText(window)) +
                        L", \"style\": " + Number(static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE))) +
                        L", \"exstyle\": " + Number(static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE))) +
                        L", \"visible\": " + Bool(::IsWindowVisible(window) != FALSE) +
                        L", \"iconic\": " + Bool(::IsIconic(window) != FALSE) +
                        L", \"enabled\": " + Bool(::IsWindowEnabled(window) != FALSE) +
                        L", \"rect\": [" + Number(r.left) + L", " + Number(r.top) + L", " +
                        Number(r.right - r.left) + L", " + Number(r.bottom - r.top) + L"], \"screen\": [" +
                        Number(::GetSystemMetrics(SM_CXSCREEN)) + L", " + Number(::GetSystemMetrics(SM_CYSCREEN)) +
                        L"], \"focus\": " + Number(focus ? ::GetDlgCtrlID(focus) : 0) + L", \"controls\": [";
    const wchar_t* separator = L"";
    for (HWND control : Children(window)) {
        if (::GetParent(control) != window)
            continue;
        json += separator;
        separator = L", ";
        json += L"{\"id\": " + Number(::GetDlgCtrlID(control)) + L", \"class\": " + Json(ClassOf(control)) +
                L", \"text\": " + Json(WindowText(control)) +
                L", \"visible\": " + Bool(::IsWindowVisible(control) != FALSE) + ControlState(control) + L"}";
    }
    Print(json + L"]}");
}

// Samples the control's pixels: how many different pictures it showed, and how many
// in the second half, after a clip played once would have stopped.
void Frames(HWND control)
{
    const int kSamples = 24;
    std::vector<Picture> seen;
    std::vector<Picture> late;
    auto add = [](std::vector<Picture>& list, const Picture& picture) {
        for (const Picture& known : list) {
            if (known == picture)
                return;
        }
        list.push_back(picture);
    };
    for (int sample = 0; sample < kSamples; ++sample, ::Sleep(100)) {
        Picture picture = ScreenPicture(control);
        add(seen, picture);
        if (sample >= kSamples / 2)
            add(late, picture);
    }
    Print(L"{\"frames\": " + Number(static_cast<long long>(seen.size())) +
          L", \"late\": " + Number(static_cast<long long>(late.size())) + L"}");
}

void PostKey(HWND window, UINT key)
{
    HWND focus = ThreadInfo(window).hwndFocus;
    HWND target = focus ? focus : window;
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

bool Fail(const std::wstring& why)
{
    Print(L"{\"error\": " + Json(why) + L"}");
    return false;
}

// Steps that act on the current window.
bool WindowStep(const Probe& probe, const std::wstring& verb, const std::wstring& argument)
{
    HWND window = probe.window;
    int id = static_cast<int>(wcstol(argument.c_str(), nullptr, 10));
    static const struct {
        const wchar_t* verb;
        UINT message;
        WPARAM command;
    } kSent[] = {{L"close", WM_CLOSE, 0},
                 {L"sysclose", WM_SYSCOMMAND, SC_CLOSE},
                 {L"minimize", WM_SYSCOMMAND, SC_MINIMIZE},
                 {L"restore", WM_SYSCOMMAND, SC_RESTORE}};
    for (const auto& sent : kSent) {
        if (verb == sent.verb) {
            Send(window, sent.message, sent.command, 0);
            return true;
        }
    }
    if (verb == L"dump") {
        Dump(window);
    } else if (verb == L"set") {
        std::wstring text = argument.substr(argument.find(L'=') + 1);
        Send(::GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (verb == L"click") {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
    } else if (verb == L"key") {
        PostKey(window, static_cast<UINT>(id));
    } else if (verb == L"frames") {
        Frames(::GetDlgItem(window, id));
    } else if (verb == L"gone") {
        if (!WaitUntil([window] { return !::IsWindow(window) || !::IsWindowVisible(window); }))
            return Fail(L"the window stayed");
    } else {
        return Fail(L"unknown step " + verb);
    }
    return true;
}

bool Step(Probe& probe, const std::wstring& step)
{
    size_t colon = step.find(L':');
    std::wstring verb = step.substr(0, colon);
    std::wstring argument = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
    if (verb == L"program") {
        probe.program = argument;
    } else if (verb == L"wait") {
        if (!WaitUntil([&] { return (probe.window = FindDialog(probe, argument)) != nullptr; }))
            return Fail(L"nothing appeared for " + step);
        ::Sleep(100);  // let the dialog finish its initialisation
    } else if (verb == L"computer") {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        ::GetComputerNameW(name, &size);
        Print(L"{\"computer\": " + Json(name) + L"}");
    } else if (verb == L"lock") {
        probe.locks.push_back(::CreateFileW(argument.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        Print(L"{\"locked\": " + Bool(probe.locks.back() != INVALID_HANDLE_VALUE) + L"}");
    } else if (!probe.window) {
        return Fail(step + L" before any wait");
    } else {
        return WindowStep(probe, verb, argument);
    }
    return true;
}

// The program a report is opened with, for the tests: notes what it was given.
int RecordOpened(int argc, wchar_t** argv)
{
    std::wstring line;
    for (int i = 2; i < argc; ++i)
        line += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
    std::string utf8 = Utf8(line + L"\n");
    HANDLE out = ::CreateFileW(argv[1] + 7, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool ok = out != INVALID_HANDLE_VALUE && ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written,
                                                         nullptr);
    if (out != INVALID_HANDLE_VALUE)
        ::CloseHandle(out);
    return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && wcsncmp(argv[1], L"opened:", 7) == 0)
        return RecordOpened(argc, argv);
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
