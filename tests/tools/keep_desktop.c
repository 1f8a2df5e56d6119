/* Keeps Wine's desktop open for a whole test run. Wine closes the desktop about
   a second after its last program ends, so every launch after a pause would start
   the desktop process (explorer.exe /desktop) again inside its own start-up,
   before the program's first line runs. While this helper uses the desktop it
   stays open. It never returns; stopping the wineserver ends it. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    GetDesktopWindow();
    Sleep(INFINITE);
    return 0;
}
