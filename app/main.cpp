#include "app/startup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before any library is loaded: take the current directory out of the DLL
    // search order, so a KvIxa.dll planted there is never loaded. The program's
    // own folder and the system folder stay.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    kv::RunApplication(instance, ::GetCommandLineW());
    return 0;
}
