#include "device/device_interface.h"

namespace kv {
namespace {

template <typename F>
F GetProc(HMODULE module, const char* name)
{
    // FARPROC to a typed pointer: the exports' signatures are the library's contract.
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

void DeviceInterface::Load()
{
    Release();
    m_module.reset(::LoadLibraryW(L"KvIxa.dll"));
    if (m_module)
        Bind(true);
}

void DeviceInterface::Release()
{
    Bind(false);
    deviceType = 0;
    m_module.reset();
}

void DeviceInterface::Bind(bool bind)
{
    HMODULE m = m_module.get();
#define KV_BIND_ENTRY_POINT(kind, name) name = bind ? GetProc<ixa::kind>(m, #name) : nullptr;
    KVIXA_ENTRY_POINTS(KV_BIND_ENTRY_POINT)
#undef KV_BIND_ENTRY_POINT
}

}  // namespace kv
