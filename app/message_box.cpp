#include "app/message_box.h"

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

}  // namespace kv
