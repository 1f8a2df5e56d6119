#include "app/message_box.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

int SystemMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    return ::MessageBoxW(owner, text, caption, flags);
}

MessageBoxHandler g_handler = SystemMessageBox;

}  // namespace

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    return g_handler(owner, text, caption, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler previous = g_handler;
    g_handler = handler ? handler : SystemMessageBox;
    return previous;
}

bool UserAllowsReplacingReport(const wchar_t* reportPath)
{
    wchar_t question[1024];
    std::wstring format = LoadResourceString(102);
    ::wsprintfW(question, format.c_str(), reportPath);
    std::wstring caption = LoadResourceString(101);
    return ShowMessageBox(nullptr, question, caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace kv
