/* Holds a file open the way another program would, while a test scans.
 *
 *   kv_hold_file.exe <file> <access: r|w> <sharing: none|r|rw> <marker>
 *
 * Opens the file, creates <marker> once it holds it, and keeps it open until the
 * test deletes the marker (at most 60 seconds). Exit code 1 when it cannot open. */
#include <windows.h>

static DWORD Sharing(const wchar_t* text)
{
    if (lstrcmpW(text, L"r") == 0)
        return FILE_SHARE_READ;
    if (lstrcmpW(text, L"rw") == 0)
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 2;
    DWORD access = lstrcmpW(argv[2], L"w") == 0 ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    HANDLE file = CreateFileW(argv[1], access, Sharing(argv[3]), NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE marker = CreateFileW(argv[4], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    for (int waited = 0; waited < 60000 && GetFileAttributesW(argv[4]) != INVALID_FILE_ATTRIBUTES; waited += 50)
        Sleep(50);
    CloseHandle(file);
    return 0;
}
