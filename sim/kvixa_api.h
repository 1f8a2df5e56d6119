// The entry points of the simulated device-interface library KvIxa.dll.
// Every entry point returns non-zero on success and 0 on failure, with the
// cause in the thread's last error (0 after a success). "value" pointers are
// untyped because the width of the value comes from the device's answer.
#pragma once

#include <windows.h>

#ifdef KVIXA_BUILD
#define KVIXA_API extern "C" __declspec(dllexport)
#else
#define KVIXA_API extern "C"
#endif

// Selector, buffer, size in bytes.
KVIXA_API int WINAPI IxaGetFactoryValue(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetTemperature(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetStatisticsValue(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetFirmwareValue(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetHardwareValue(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetVoltage(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetAlarm(UINT selector, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetFanValue(UINT selector, void* buffer, UINT size);

// Selector, UTF-16 buffer, size in bytes.
KVIXA_API int WINAPI IxaGetFactoryStringW(UINT selector, wchar_t* buffer, UINT sizeBytes);
KVIXA_API int WINAPI IxaGetFirmwareStringW(UINT selector, wchar_t* buffer, UINT sizeBytes);
KVIXA_API int WINAPI IxaGetHardwareStringW(UINT selector, wchar_t* buffer, UINT sizeBytes);
KVIXA_API int WINAPI IxaGetKeyCfgStringW(UINT selector, wchar_t* buffer, UINT sizeBytes);

// One value; the device type is 32 bits wide.
KVIXA_API int WINAPI IxaGetDeviceType(void* value);
KVIXA_API int WINAPI IxaGetKeyCfgState(void* value);
KVIXA_API int WINAPI IxaGetKeyLayer(void* value);
KVIXA_API int WINAPI IxaGetKeyLayerMode(void* value);
KVIXA_API int WINAPI IxaGetUserSerialId(void* value);
KVIXA_API int WINAPI IxaGetLedCount(void* value);
KVIXA_API int WINAPI IxaGetKeyCount(void* value);
KVIXA_API int WINAPI IxaAreKeysEnabled(void* value);
KVIXA_API int WINAPI IxaGetPanelLockTime(void* value);
KVIXA_API int WINAPI IxaGetDisplayBrightness(void* value);
KVIXA_API int WINAPI IxaGetDisplayDefaultBrightness(void* value);

// Mode flag (32-bit) and equalizer value (8-bit).
KVIXA_API int WINAPI IxaGetDisplayEqualizer(void* mode, void* value);

// Buffer and size: 16 bytes for the key matrix, 1 for the key switches.
KVIXA_API int WINAPI IxaGetKeyMatrix(void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetKeySwitches(void* buffer, UINT size);

// LED layer 0 to 3, buffer, size 32.
KVIXA_API int WINAPI IxaGetLedMatrix(UINT layer, void* buffer, UINT size);

KVIXA_API int WINAPI IxaEnableWmi(UINT on);
KVIXA_API int WINAPI IxaSelectPanel(UINT panel);

// Writes the block of the item (17: UPS user settings) into the file.
KVIXA_API int WINAPI IxaUploadFileW(const wchar_t* fileName, UINT item, UINT reserved1, UINT reserved2);

// Selector, module index, sub-index, buffer, size. Absent from the legacy
// library, as on devices whose library has no module entry points.
KVIXA_API int WINAPI IxaGetModuleFactoryValue(UINT selector, UINT module, UINT sub, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetModuleFanValue(UINT selector, UINT module, UINT sub, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetModuleFirmwareValue(UINT selector, UINT module, UINT sub, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetModuleHardwareValue(UINT selector, UINT module, UINT sub, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetModuleStatisticsValue(UINT selector, UINT module, UINT sub, void* buffer, UINT size);
KVIXA_API int WINAPI IxaGetModuleTemperatureValue(UINT selector, UINT module, UINT sub, void* buffer, UINT size);

// Selector, panel index, panel module index, sub-index, buffer, size. Absent
// from the legacy library as well.
KVIXA_API int WINAPI IxaGetPanelModuleFactoryValue(UINT selector, UINT panel, UINT module, UINT sub, void* buffer,
                                                   UINT size);
KVIXA_API int WINAPI IxaGetPanelModuleFirmwareValue(UINT selector, UINT panel, UINT module, UINT sub, void* buffer,
                                                    UINT size);
KVIXA_API int WINAPI IxaGetPanelModuleStatisticsValue(UINT selector, UINT panel, UINT module, UINT sub, void* buffer,
                                                      UINT size);
KVIXA_API int WINAPI IxaGetPanelModuleTemperatureValue(UINT selector, UINT panel, UINT module, UINT sub,
                                                       void* buffer, UINT size);

// Bound by the program but never called; answered like the one-value kind.
KVIXA_API int WINAPI IxaIsWmiEnabled(void* value);
KVIXA_API int WINAPI IxaGetUserLed(void* value);
KVIXA_API int WINAPI IxaGetUserlogoValue(void* value);
KVIXA_API int WINAPI IxaGetUserlogoStringW(void* value);
KVIXA_API int WINAPI IxaGetDisplayType(void* value);
KVIXA_API int WINAPI IxaGetDisplayFactoryBrightness(void* value);
KVIXA_API int WINAPI IxaGetDisplayContrast(void* value);
KVIXA_API int WINAPI IxaGetDisplayDefaultContrast(void* value);
KVIXA_API int WINAPI IxaGetDisplayFactoryContrast(void* value);
