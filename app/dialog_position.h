// Where the program's dialogs appear: centred on the screen that holds them, as
// a user expects of a program started by a double-click.
#pragma once

#include <windows.h>

namespace kv {

void CenterOnScreen(HWND window);

}  // namespace kv
