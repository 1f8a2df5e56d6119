// Waits for a message box of another process on this desktop and prints it as one
// JSON object in UTF-8: caption, text, button texts and window handle. End-to-end
// tests read a box with it and answer it with real key presses through xdotool;
// which icon a box shows is checked by the unit tests through the message box seam.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text

std::wstring WindowText(HWND window)
{
    wchar_t text[8192] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

struct Found {
    HWND box = nullptr;
    DWORD self = 0;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter)
{
    Found& found = *reinterpret_cast<Found*>(parameter);
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != found.self && wcscmp(className, L"#32770") == 0 && ::IsWindowVisible(window) &&
        ::GetDlgItem(window, kMessageTextId)) {
        found.box = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectButtons(HWND window, LPARAM parameter)
{
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (_wcsicmp(className, L"Button") == 0 && ::IsWindowVisible(window))
        reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(WindowText(window));
    return TRUE;
}

void AppendJsonString(std::wstring& out, const std::wstring& text)
{
    out += L'"';
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
    out += L'"';
}

}  // namespace

// "click:<id>" presses a button of the box found instead of printing it.
bool Click(HWND box, const wchar_t* command)
{
    if (wcsncmp(command, L"click:", 6) != 0)
        return false;
    int id = static_cast<int>(wcstol(command + 6, nullptr, 10));
    HWND button = ::GetDlgItem(box, id);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

int wmain(int argc, wchar_t** argv)
{
    DWORD timeout = argc > 1 ? wcstoul(argv[1], nullptr, 10) : 10000;
    Found found;
    found.self = ::GetCurrentProcessId();
    DWORD start = ::GetTickCount();
    while (!found.box && ::GetTickCount() - start < timeout) {
        ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
        if (!found.box)
            ::Sleep(50);
    }
    if (!found.box)
        return 1;
    if (argc > 2)
        return Click(found.box, argv[2]) ? 0 : 2;
    ::Sleep(100);  // let the box finish laying out its controls

    std::vector<std::wstring> buttons;
    ::EnumChildWindows(found.box, CollectButtons, reinterpret_cast<LPARAM>(&buttons));
    std::wstring json = L"{\"caption\": ";
    AppendJsonString(json, WindowText(found.box));
    json += L", \"text\": ";
    AppendJsonString(json, WindowText(::GetDlgItem(found.box, kMessageTextId)));
    json += L", \"buttons\": [";
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (i)
            json += L", ";
        AppendJsonString(json, buttons[i]);
    }
    wchar_t handle[32];
    swprintf_s(handle, L"], \"hwnd\": %llu}\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(found.box)));
    json += handle;

    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, json.c_str(), static_cast<int>(json.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, json.c_str(), static_cast<int>(json.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    return 0;
}
