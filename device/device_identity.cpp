#include "device/device_identity.h"

#include <cwchar>

namespace kv {
namespace {

struct ModelRow {
    DWORD type;
    const wchar_t* name;
};

const ModelRow kModels[] = {
    {6, L"Kavrol Corvabox C20"},  {7, L"Kavrol Panevox P30"},   {12, L"Kavrol Corvabox C40"},
    {13, L"Kavrol Panevox P50"},  {14, L"Kavrol Corvabox C60"}, {15, L"Kavrol Voltadeck V70"},
    {16, L"Kavrol Corvabox C80"}, {17, L"Kavrol Corvabox C81"}, {18, L"Kavrol Corvabox C90"},
    {19, L"Kavrol Panevox P91"},  {20, L"Kavrol Corvabox C92"}, {21, L"Kavrol Panevox P93"},
    {22, L"Kavrol Roamdeck R96"}, {23, L"Kavrol Corvabox C94"}, {24, L"Kavrol Panevox P95"},
};

// Board prefixes in the order they are compared; a later match overrides an earlier one.
struct BoardRow {
    const wchar_t* prefix;
    DWORD code;
    const wchar_t* name;
};

const BoardRow kBoards[] = {
    {L"TA1K", 1, L"KTA1"},    {L"KTA1", 1, L"KTA1"}, {L"TB2XKL", 2, L"KTB2"}, {L"KTB2", 2, L"KTB2"},
    {L"WTB2XKL", 3, L"WTB2"}, {L"WTB2", 3, L"WTB2"}, {L"RTC3", 4, L"RTC3"},   {L"STC3", 5, L"STC3"},
    {L"WTC3", 6, L"WTC3"},    {L"RQD4", 7, L"RQD4"}, {L"SSFW", 8, L"SSFW"},
};

const size_t kTextChars = 260;

}  // namespace

const wchar_t* ModelNameOfType(DWORD type)
{
    for (const ModelRow& row : kModels) {
        if (row.type == type)
            return row.name;
    }
    return L"Not supported";
}

int DeviceModelName(DeviceInterface& device, DWORD* type, wchar_t* text)
{
    *type = 0;
    if (!device.IxaGetDeviceType || !device.IxaGetDeviceType(type)) {
        *type = 0;
        if (text)
            wcscpy_s(text, kTextChars, L"Unknown");
        return 0;
    }
    if (text)
        wcscpy_s(text, kTextChars, ModelNameOfType(*type));
    return 1;
}

int IsDeviceType(DeviceInterface& device, DWORD code)
{
    if (device.deviceType == 0 && device.IxaGetDeviceType) {
        if (!device.IxaGetDeviceType(&device.deviceType))
            device.deviceType = 0;
    }
    if (code == 0)
        return device.deviceType != 0;
    return device.deviceType == code;
}

DWORD MatchCpuBoard(wchar_t* text)
{
    DWORD code = 0;
    for (const BoardRow& row : kBoards) {
        if (wcsncmp(text, row.prefix, wcslen(row.prefix)) == 0) {
            code = row.code;
            wcscpy_s(text, kTextChars, row.name);
        }
    }
    return code;
}

int CpuBoardCode(DeviceInterface& device, DWORD* code, CpuBoardText& text)
{
    *code = 0;
    CpuBoardText read;
    if (!device.IxaGetHardwareStringW || !device.IxaGetHardwareStringW(16, read.text, read.kBytes))
        return 0;
    text = read;
    *code = MatchCpuBoard(text.text);
    return 1;
}

int IsCpuBoard(DeviceInterface& device, DWORD code)
{
    DWORD found = 0;
    CpuBoardText text;
    return CpuBoardCode(device, &found, text) && found == code;
}

DWORD GetHardwareValue58(DeviceInterface& device)
{
    DWORD value = 0;
    if (!device.IxaGetHardwareValue || !device.IxaGetHardwareValue(58, &value, sizeof value))
        return 0;
    return value;
}

int ReadFactoryValue(DeviceInterface& device, UINT selector, void* buffer, UINT size)
{
    if (!device.IxaGetFactoryValue)
        return 0;
    return device.IxaGetFactoryValue(selector, buffer, size);
}

int ReadFactoryString(DeviceInterface& device, UINT selector, wchar_t* buffer)
{
    if (!device.IxaGetFactoryStringW)
        return 0;
    return device.IxaGetFactoryStringW(selector, buffer, 512);
}

}  // namespace kv
