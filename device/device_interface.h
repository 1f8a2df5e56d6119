// Run-time binding of the maker's device-interface library KvIxa.dll.
//
// Every entry point returns non-zero on success and leaves the cause of a failure
// in the thread's last error: 87 means the device does not provide the value,
// 1 that the function does not exist for this device family. An entry point the
// loaded library does not export stays null; callers treat it as a failed call.
#pragma once

#include "device/win_handles.h"
#include "kvixa/entry_points.h"

namespace kv {

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
    KVIXA_ENTRY_POINTS(KV_DECLARE_ENTRY_POINT)
#undef KV_DECLARE_ENTRY_POINT

private:
    void Bind(bool bind);

    UniqueModule m_module;
};

}  // namespace kv
