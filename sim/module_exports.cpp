// The module and panel-module entry points. The legacy variant of the library
// (KVIXA_LEGACY) leaves them out, as on devices whose library has none; the
// program then takes the device for one without module entry points.
#include "kvixa_api.h"
#include "library.h"

#ifndef KVIXA_LEGACY

#define KVIXA_MODULE_ENTRY(Name)                                                                  \
    KVIXA_API int WINAPI Name(UINT selector, UINT module, UINT sub, void* buffer, UINT size)      \
    {                                                                                             \
        return kvsim::BufferCall(#Name, {selector, module, sub}, buffer, size);                   \
    }

#define KVIXA_PANEL_MODULE_ENTRY(Name)                                                                     \
    KVIXA_API int WINAPI Name(UINT selector, UINT panel, UINT module, UINT sub, void* buffer, UINT size)   \
    {                                                                                                      \
        return kvsim::BufferCall(#Name, {selector, panel, module, sub}, buffer, size);                     \
    }

KVIXA_MODULE_ENTRY(IxaGetModuleFactoryValue)
KVIXA_MODULE_ENTRY(IxaGetModuleFanValue)
KVIXA_MODULE_ENTRY(IxaGetModuleFirmwareValue)
KVIXA_MODULE_ENTRY(IxaGetModuleHardwareValue)
KVIXA_MODULE_ENTRY(IxaGetModuleStatisticsValue)
KVIXA_MODULE_ENTRY(IxaGetModuleTemperatureValue)

KVIXA_PANEL_MODULE_ENTRY(IxaGetPanelModuleFactoryValue)
KVIXA_PANEL_MODULE_ENTRY(IxaGetPanelModuleFirmwareValue)
KVIXA_PANEL_MODULE_ENTRY(IxaGetPanelModuleStatisticsValue)
KVIXA_PANEL_MODULE_ENTRY(IxaGetPanelModuleTemperatureValue)

#endif
