// The 49 entry points of the recording KvIxa.dll, one for each row of the
// call contract's list: each forwards its arguments unchanged and records.
#include "kvixa_api.h"
#include "recorder.h"

#define KVREC_SelectorRead(name)                                                                 \
    KVIXA_API int WINAPI name(UINT selector, void* buffer, UINT size)                            \
    {                                                                                            \
        return kvrec::Forward<ixa::SelectorRead>(                                                \
            #name, [&](ixa::SelectorRead real) { return real(selector, buffer, size); },         \
            [&](int result, DWORD error) {                                                       \
                kvrec::RecordBuffer(#name, {selector}, buffer, size, false, result, error);      \
            });                                                                                  \
    }

#define KVREC_SelectorStringRead(name)                                                           \
    KVIXA_API int WINAPI name(UINT selector, wchar_t* buffer, UINT sizeBytes)                    \
    {                                                                                            \
        return kvrec::Forward<ixa::SelectorStringRead>(                                          \
            #name, [&](ixa::SelectorStringRead real) { return real(selector, buffer, sizeBytes); }, \
            [&](int result, DWORD error) {                                                       \
                kvrec::RecordBuffer(#name, {selector}, buffer, sizeBytes, true, result, error);  \
            });                                                                                  \
    }

#define KVREC_ValueRead(name)                                                                    \
    KVIXA_API int WINAPI name(void* value)                                                       \
    {                                                                                            \
        return kvrec::Forward<ixa::ValueRead>(                                                   \
            #name, [&](ixa::ValueRead real) { return real(value); },                             \
            [&](int result, DWORD error) { kvrec::RecordValue(#name, value, result, error); });  \
    }

#define KVREC_PairRead(name)                                                                     \
    KVIXA_API int WINAPI name(void* first, void* second)                                         \
    {                                                                                            \
        return kvrec::Forward<ixa::PairRead>(                                                    \
            #name, [&](ixa::PairRead real) { return real(first, second); },                      \
            [&](int result, DWORD error) { kvrec::RecordEqualizer(#name, first, second, result, error); }); \
    }

#define KVREC_BufferRead(name)                                                                   \
    KVIXA_API int WINAPI name(void* buffer, UINT size)                                           \
    {                                                                                            \
        return kvrec::Forward<ixa::BufferRead>(                                                  \
            #name, [&](ixa::BufferRead real) { return real(buffer, size); },                     \
            [&](int result, DWORD error) { kvrec::RecordBuffer(#name, {}, buffer, size, false, result, error); }); \
    }

#define KVREC_LayerRead(name)                                                                    \
    KVIXA_API int WINAPI name(UINT layer, void* buffer, UINT size)                               \
    {                                                                                            \
        return kvrec::Forward<ixa::LayerRead>(                                                   \
            #name, [&](ixa::LayerRead real) { return real(layer, buffer, size); },               \
            [&](int result, DWORD error) {                                                       \
                kvrec::RecordBuffer(#name, {layer}, buffer, size, false, result, error);         \
            });                                                                                  \
    }

#define KVREC_Command(name)                                                                      \
    KVIXA_API int WINAPI name(UINT argument)                                                     \
    {                                                                                            \
        return kvrec::Forward<ixa::Command>(                                                     \
            #name, [&](ixa::Command real) { return real(argument); },                            \
            [&](int result, DWORD error) { kvrec::RecordStatus(#name, argument, result, error); }); \
    }

#define KVREC_Upload(name)                                                                       \
    KVIXA_API int WINAPI name(const wchar_t* fileName, UINT item, UINT reserved1, UINT reserved2) \
    {                                                                                            \
        return kvrec::Forward<ixa::Upload>(                                                      \
            #name, [&](ixa::Upload real) { return real(fileName, item, reserved1, reserved2); }, \
            [&](int result, DWORD error) { kvrec::RecordUpload(#name, fileName, item, result, error); }); \
    }

#define KVREC_ModuleRead(name)                                                                   \
    KVIXA_API int WINAPI name(UINT selector, UINT module, UINT sub, void* buffer, UINT size)     \
    {                                                                                            \
        return kvrec::Forward<ixa::ModuleRead>(                                                  \
            #name, [&](ixa::ModuleRead real) { return real(selector, module, sub, buffer, size); }, \
            [&](int result, DWORD error) {                                                       \
                kvrec::RecordBuffer(#name, {selector, module, sub}, buffer, size, false, result, error); \
            });                                                                                  \
    }

#define KVREC_PanelModuleRead(name)                                                                         \
    KVIXA_API int WINAPI name(UINT selector, UINT panel, UINT module, UINT sub, void* buffer, UINT size)    \
    {                                                                                                       \
        return kvrec::Forward<ixa::PanelModuleRead>(                                                        \
            #name, [&](ixa::PanelModuleRead real) { return real(selector, panel, module, sub, buffer, size); }, \
            [&](int result, DWORD error) {                                                                  \
                kvrec::RecordBuffer(#name, {selector, panel, module, sub}, buffer, size, false, result, error); \
            });                                                                                             \
    }

#define KVREC_ENTRY_POINT(kind, name) KVREC_##kind(name)
KVIXA_ENTRY_POINTS(KVREC_ENTRY_POINT)
#undef KVREC_ENTRY_POINT

// Only to write, at the very end, what the record file has not taken yet.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH)
        kvrec::WritePendingRecord(reserved != nullptr);
    return TRUE;
}
