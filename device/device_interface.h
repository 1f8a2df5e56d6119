// Run-time binding of the maker's device-interface library KvIxa.dll.
//
// Every entry point returns non-zero on success and leaves the cause of a failure
// in the thread's last error: 87 means the device does not provide the value,
// 1 that the function does not exist for this device family. An entry point the
// loaded library does not export stays null; callers treat it as a failed call.
#pragma once

#include "device/win_handles.h"

namespace kv {

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
#define KV_IXA_ENTRY_POINTS(X) \
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

class DeviceInterface {
public:
    DeviceInterface() = default;
    ~DeviceInterface() { Release(); }
    DeviceInterface(const DeviceInterface&) = delete;
    DeviceInterface& operator=(const DeviceInterface&) = delete;

    // Loads KvIxa.dll by the standard search order and binds every export.
    void Load();
    // Frees the library and clears every pointer; safe to call twice.
    void Release();

    bool IsLoaded() const { return m_module.valid(); }
    HMODULE Module() const { return m_module.get(); }

    // Cached device type, 0 until read.
    DWORD deviceType = 0;

#define KV_DECLARE_ENTRY_POINT(kind, name) ixa::kind name = nullptr;
    KV_IXA_ENTRY_POINTS(KV_DECLARE_ENTRY_POINT)
#undef KV_DECLARE_ENTRY_POINT

private:
    void Bind(bool bind);

    UniqueModule m_module;
};

}  // namespace kv
