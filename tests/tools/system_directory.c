/* Prints the system directory as GetSystemDirectoryW gives it, in UTF-8: the
   end-to-end tests put driver files there and expect the paths the program
   builds from the same call. */
#include <windows.h>

int wmain(void)
{
    wchar_t path[MAX_PATH];
    char utf8[4 * MAX_PATH];
    DWORD written = 0;
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, path, (int)length, utf8, (int)sizeof utf8, NULL, NULL);
    if (bytes <= 0)
        return 1;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8, (DWORD)bytes, &written, NULL);
    return 0;
}
