/* Creates and deletes registry keys below HKLM\HARDWARE for the end-to-end tests.
   That key is volatile and a lasting key cannot live below it, so reg.exe and
   regedit cannot create keys there; a volatile key made here can. It also writes a
   REG_SZ without a terminating NUL, which reg.exe always adds. */
#include <windows.h>
#include <string.h>
#include <wchar.h>

/* volatile_key set <key below HKLM> <value name> sz <text>
   volatile_key set <key below HKLM> <value name> binary <hex digits>
   volatile_key set <key below HKLM> <value name> rawsz <hex digits>   (a REG_SZ of exactly these bytes, no NUL added)
   volatile_key delete <key below HKLM> */
static int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

int wmain(int argc, wchar_t** argv)
{
    BYTE data[1024];
    DWORD size = 0, type = REG_SZ, i;
    HKEY key;
    LONG code;
    if (argc == 3 && wcscmp(argv[1], L"delete") == 0) {
        code = RegDeleteTreeW(HKEY_LOCAL_MACHINE, argv[2]);
        return code == ERROR_FILE_NOT_FOUND ? 0 : (int)code;
    }
    if (argc != 6 || wcscmp(argv[1], L"set") != 0)
        return ERROR_INVALID_PARAMETER;
    if (wcscmp(argv[4], L"sz") == 0) {
        size = (DWORD)((wcslen(argv[5]) + 1) * sizeof(wchar_t));
        if (size > sizeof data)
            return ERROR_INVALID_PARAMETER;
        memcpy(data, argv[5], size);
    } else if (wcscmp(argv[4], L"binary") == 0 || wcscmp(argv[4], L"rawsz") == 0) {
        type = wcscmp(argv[4], L"binary") == 0 ? REG_BINARY : REG_SZ;
        size = (DWORD)(wcslen(argv[5]) / 2);
        if (size > sizeof data)
            return ERROR_INVALID_PARAMETER;
        for (i = 0; i < size; ++i) {
            int high = HexDigit(argv[5][2 * i]), low = HexDigit(argv[5][2 * i + 1]);
            if (high < 0 || low < 0)
                return ERROR_INVALID_PARAMETER;
            data[i] = (BYTE)(high * 16 + low);
        }
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    code = RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, NULL, REG_OPTION_VOLATILE,
                           KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key, NULL);
    if (code != ERROR_SUCCESS)
        return (int)code;
    code = RegSetValueExW(key, argv[3], 0, type, data, size);
    RegCloseKey(key);
    return (int)code;
}
