// The call contract of the device-interface library KvIxa.dll: its 49 entry
// points, each with the kind of its signature, listed once for the program's
// binding (device/) and for the builds of the library in sim/.
//
// Every entry point returns non-zero on success and leaves the cause of a
// failure in the thread's last error: 87 means the device does not provide the
// value, 1 that the function does not exist for this device family. "value"
// pointers are untyped; each entry point writes the width its callers hold.
// Signatures only: nothing of the program or of a library's inner working.
#pragma once

#include <windows.h>

namespace ixa {
using SelectorRead = int(WINAPI*)(UINT selector, void* buffer, UINT size);
using SelectorStringRead = int(WINAPI*)(UINT selector, wchar_t* buffer, UINT sizeBytes);
using ValueRead = int(WINAPI*)(void* value);
using PairRead = int(WINAPI*)(void* first, void* second);
using BufferRead = int(WINAPI*)(void* buffer, UINT size);
using LayerRead = int(WINAPI*)(UINT layer, void* buffer, UINT size);
using Command = int(WINAPI*)(UINT argument);
using Upload = int(WINAPI*)(const wchar_t* fileName, UINT item, UINT reserved1, UINT reserved2);
using ModuleRead = int(WINAPI*)(UINT selector, UINT module, UINT sub, void* buffer, UINT size);
using PanelModuleRead = int(WINAPI*)(UINT selector, UINT panel, UINT module, UINT sub, void* buffer,
                                     UINT size);
}  // namespace ixa

// The 49 entry points: signature kind and export name.
#define KVIXA_ENTRY_POINTS(X) \
    X(SelectorRead, IxaGetFactoryValue) \
    X(SelectorRead, IxaGetTemperature) \
    X(SelectorRead, IxaGetStatisticsValue) \
    X(SelectorRead, IxaGetFirmwareValue) \
    X(SelectorRead, IxaGetHardwareValue) \
    X(SelectorRead, IxaGetVoltage) \
    X(SelectorRead, IxaGetAlarm) \
    X(SelectorRead, IxaGetFanValue) \
    X(SelectorStringRead, IxaGetFactoryStringW) \
    X(SelectorStringRead, IxaGetFirmwareStringW) \
    X(SelectorStringRead, IxaGetHardwareStringW) \
    X(SelectorStringRead, IxaGetKeyCfgStringW) \
    X(ValueRead, IxaGetDeviceType) \
    X(ValueRead, IxaGetKeyCfgState) \
    X(ValueRead, IxaGetKeyLayer) \
    X(ValueRead, IxaGetKeyLayerMode) \
    X(ValueRead, IxaGetUserSerialId) \
    X(ValueRead, IxaGetLedCount) \
    X(ValueRead, IxaGetKeyCount) \
    X(ValueRead, IxaAreKeysEnabled) \
    X(ValueRead, IxaGetPanelLockTime) \
    X(ValueRead, IxaGetDisplayBrightness) \
    X(ValueRead, IxaGetDisplayDefaultBrightness) \
    X(PairRead, IxaGetDisplayEqualizer) \
    X(BufferRead, IxaGetKeyMatrix) \
    X(BufferRead, IxaGetKeySwitches) \
    X(LayerRead, IxaGetLedMatrix) \
    X(Command, IxaEnableWmi) \
    X(Command, IxaSelectPanel) \
    X(Upload, IxaUploadFileW) \
    X(ModuleRead, IxaGetModuleFactoryValue) \
    X(ModuleRead, IxaGetModuleFanValue) \
    X(ModuleRead, IxaGetModuleFirmwareValue) \
    X(ModuleRead, IxaGetModuleHardwareValue) \
    X(ModuleRead, IxaGetModuleStatisticsValue) \
    X(ModuleRead, IxaGetModuleTemperatureValue) \
    X(PanelModuleRead, IxaGetPanelModuleFactoryValue) \
    X(PanelModuleRead, IxaGetPanelModuleFirmwareValue) \
    X(PanelModuleRead, IxaGetPanelModuleStatisticsValue) \
    X(PanelModuleRead, IxaGetPanelModuleTemperatureValue) \
    X(ValueRead, IxaIsWmiEnabled) \
    X(ValueRead, IxaGetUserLed) \
    X(ValueRead, IxaGetUserlogoValue) \
    X(ValueRead, IxaGetUserlogoStringW) \
    X(ValueRead, IxaGetDisplayType) \
    X(ValueRead, IxaGetDisplayFactoryBrightness) \
    X(ValueRead, IxaGetDisplayContrast) \
    X(ValueRead, IxaGetDisplayDefaultContrast) \
    X(ValueRead, IxaGetDisplayFactoryContrast)
