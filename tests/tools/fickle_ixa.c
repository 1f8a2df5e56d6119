/* A device library for the tests of the recording KvIxa.dll: its temperatures
 * change from call to call, its voltage read ends the process on the spot, as
 * a crash would, and it has no other entry points but the device type. */
#include <windows.h>

static LONG g_temperatureReads;

__declspec(dllexport) int WINAPI IxaGetDeviceType(void* value)
{
    *(DWORD*)value = 18;
    SetLastError(ERROR_SUCCESS);
    return 1;
}

/* One degree warmer with every read, from 41. */
__declspec(dllexport) int WINAPI IxaGetTemperature(UINT selector, void* buffer, UINT size)
{
    (void)selector;
    if (size != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *(BYTE*)buffer = (BYTE)(40 + InterlockedIncrement(&g_temperatureReads));
    SetLastError(ERROR_SUCCESS);
    return 1;
}

/* No detach, no clean-up: what a crash leaves. */
__declspec(dllexport) int WINAPI IxaGetVoltage(UINT selector, void* buffer, UINT size)
{
    (void)selector;
    (void)buffer;
    (void)size;
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}
