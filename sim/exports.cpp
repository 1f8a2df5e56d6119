// The entry points every variant of the library exports. Each one only names
// itself and passes its arguments on; library.cpp does the rest.
#include "kvixa_api.h"
#include "library.h"

#define KVIXA_SELECTOR_ENTRY(Name)                                    \
    KVIXA_API int WINAPI Name(UINT selector, void* buffer, UINT size) \
    {                                                                 \
        return kvsim::BufferCall(#Name, {selector}, buffer, size);    \
    }

#define KVIXA_STRING_ENTRY(Name)                                             \
    KVIXA_API int WINAPI Name(UINT selector, wchar_t* buffer, UINT sizeBytes) \
    {                                                                        \
        return kvsim::BufferCall(#Name, {selector}, buffer, sizeBytes);      \
    }

#define KVIXA_VALUE_ENTRY(Name)                \
    KVIXA_API int WINAPI Name(void* value)     \
    {                                          \
        return kvsim::ValueCall(#Name, value); \
    }

KVIXA_SELECTOR_ENTRY(IxaGetFactoryValue)
KVIXA_SELECTOR_ENTRY(IxaGetTemperature)
KVIXA_SELECTOR_ENTRY(IxaGetStatisticsValue)
KVIXA_SELECTOR_ENTRY(IxaGetFirmwareValue)
KVIXA_SELECTOR_ENTRY(IxaGetHardwareValue)
KVIXA_SELECTOR_ENTRY(IxaGetVoltage)
KVIXA_SELECTOR_ENTRY(IxaGetAlarm)
KVIXA_SELECTOR_ENTRY(IxaGetFanValue)

KVIXA_STRING_ENTRY(IxaGetFactoryStringW)
KVIXA_STRING_ENTRY(IxaGetFirmwareStringW)
KVIXA_STRING_ENTRY(IxaGetHardwareStringW)
KVIXA_STRING_ENTRY(IxaGetKeyCfgStringW)

KVIXA_VALUE_ENTRY(IxaGetDeviceType)
KVIXA_VALUE_ENTRY(IxaGetKeyCfgState)
KVIXA_VALUE_ENTRY(IxaGetKeyLayer)
KVIXA_VALUE_ENTRY(IxaGetKeyLayerMode)
KVIXA_VALUE_ENTRY(IxaGetUserSerialId)
KVIXA_VALUE_ENTRY(IxaGetLedCount)
KVIXA_VALUE_ENTRY(IxaGetKeyCount)
KVIXA_VALUE_ENTRY(IxaAreKeysEnabled)
KVIXA_VALUE_ENTRY(IxaGetPanelLockTime)
KVIXA_VALUE_ENTRY(IxaGetDisplayBrightness)
KVIXA_VALUE_ENTRY(IxaGetDisplayDefaultBrightness)

KVIXA_VALUE_ENTRY(IxaIsWmiEnabled)
KVIXA_VALUE_ENTRY(IxaGetUserLed)
KVIXA_VALUE_ENTRY(IxaGetUserlogoValue)
KVIXA_VALUE_ENTRY(IxaGetUserlogoStringW)
KVIXA_VALUE_ENTRY(IxaGetDisplayType)
KVIXA_VALUE_ENTRY(IxaGetDisplayFactoryBrightness)
KVIXA_VALUE_ENTRY(IxaGetDisplayContrast)
KVIXA_VALUE_ENTRY(IxaGetDisplayDefaultContrast)
KVIXA_VALUE_ENTRY(IxaGetDisplayFactoryContrast)

KVIXA_API int WINAPI IxaGetDisplayEqualizer(void* mode, void* value)
{
    return kvsim::EqualizerCall("IxaGetDisplayEqualizer", mode, value);
}

KVIXA_API int WINAPI IxaGetKeyMatrix(void* buffer, UINT size)
{
    return kvsim::BufferCall("IxaGetKeyMatrix", {}, buffer, size);
}

KVIXA_API int WINAPI IxaGetKeySwitches(void* buffer, UINT size)
{
    return kvsim::BufferCall("IxaGetKeySwitches", {}, buffer, size);
}

KVIXA_API int WINAPI IxaGetLedMatrix(UINT layer, void* buffer, UINT size)
{
    return kvsim::BufferCall("IxaGetLedMatrix", {layer}, buffer, size);
}

KVIXA_API int WINAPI IxaEnableWmi(UINT on)
{
    return kvsim::StatusCall("IxaEnableWmi", on);
}

KVIXA_API int WINAPI IxaSelectPanel(UINT panel)
{
    return kvsim::SelectPanelCall("IxaSelectPanel", panel);
}

KVIXA_API int WINAPI IxaUploadFileW(const wchar_t* fileName, UINT item, UINT reserved1, UINT reserved2)
{
    return kvsim::UploadCall("IxaUploadFileW", fileName, item, reserved1, reserved2);
}
