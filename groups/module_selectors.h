// Selector numbers of the modules a device is built from, as the device library
// numbers them. Each row can be checked against the device documentation.
#pragma once

#include <windows.h>

namespace kv {

// The factory-settings selectors of one module. Device ID, Compatibility ID,
// Vendor ID, Hardware revision, Serial number, Model number, Parent Device ID
// and Parent Compatibility ID are base + 0 to base + 7; the version and the raw
// data have selectors of their own.
struct ModuleSelectors {
    UINT base;
    UINT version;
    UINT rawData;
    UINT rawDataSize;  // bytes read and dumped for the raw data
};

// Offsets of the eight consecutive factory items from the base selector.
enum FactoryItemOffset : UINT {
    kOffsetDeviceId = 0,
    kOffsetCompatibilityId = 1,
    kOffsetVendorId = 2,
    kOffsetHardwareRevision = 3,
    kOffsetSerialNumber = 4,
    kOffsetModelNumber = 5,
    kOffsetParentDeviceId = 6,
    kOffsetParentCompatibilityId = 7,
};

// The CPU board, the I/O board, IF slot 1 and memory module 1 keep their version
// and raw data in the range 77 to 84; every later module has a block of ten.
//                                                      base  version  raw  raw size
inline constexpr ModuleSelectors kCpuBoardSelectors     = {45,   77,     81,  1536};
inline constexpr ModuleSelectors kIfBoard1Selectors     = {53,   78,     82,  1024};
inline constexpr ModuleSelectors kIoBoardSelectors      = {61,   79,     83,  1024};
// Memory module 1 dumps 128 or 512 bytes depending on the device type; see
// MemoryModuleRawDataSize.
inline constexpr ModuleSelectors kMemoryModule1Selectors = {69,  80,     84,  128};
inline constexpr ModuleSelectors kBusUnitSelectors      = {85,   93,     94,  1024};
inline constexpr ModuleSelectors kDisplayLinkSelectors  = {95,   103,    104, 1024};
inline constexpr ModuleSelectors kIfBoard2Selectors     = {105,  113,    114, 1024};
inline constexpr ModuleSelectors kMemoryModule2Selectors = {115, 123,    124, 128};
inline constexpr ModuleSelectors kCaseFanKitSelectors   = {125,  133,    134, 512};
inline constexpr ModuleSelectors kSlideInDrive1Selectors = {135, 143,    144, 512};
inline constexpr ModuleSelectors kSlideInDrive2Selectors = {145, 153,    154, 512};
inline constexpr ModuleSelectors kBusFanKitSelectors    = {155,  163,    164, 384};

// The two operating counters of a module (IxaGetStatisticsValue): cycles, then hours.
struct ModuleStatistics {
    const wchar_t* cyclesLabel;
    const wchar_t* hoursLabel;
    UINT cyclesSelector;
    UINT hoursSelector;
};

//                                                         cycles label           hours label         cycles hours
inline constexpr ModuleStatistics kBusUnitStatistics     = {L"Power-on cycles", L"Power-on hours", 11, 12};
inline constexpr ModuleStatistics kDisplayLinkStatistics = {L"Power-on cycles", L"Power-on hours", 13, 14};
inline constexpr ModuleStatistics kIfBoard1Statistics    = {L"Power-on cycles", L"Power-on hours", 7,  8};
inline constexpr ModuleStatistics kIfBoard2Statistics    = {L"Power-on cycles", L"Power-on hours", 15, 16};
// The case fan kit counts its hours under selector 2, not 18.
inline constexpr ModuleStatistics kCaseFanKitStatistics  = {L"Fan-on cycles",   L"Fan-on hours",   17, 2};
inline constexpr ModuleStatistics kBusFanKitStatistics   = {L"Fan-on cycles",   L"Fan-on hours",   20, 21};
// The I/O board and the CPU board counters are 16-bit only (WriteStatistics16).
inline constexpr ModuleStatistics kIoBoardStatistics     = {L"Power-on cycles", L"Power-on hours", 9,  10};
inline constexpr ModuleStatistics kCpuBoardStatistics    = {L"Power-on cycles", L"Power-on hours", 5,  6};

// FPGA firmware version (IxaGetFirmwareStringW) and boot area (IxaGetFirmwareValue).
struct ModuleFirmware {
    UINT versionSelector;
    UINT bootAreaSelector;
};

inline constexpr ModuleFirmware kDisplayLinkFirmware = {24, 32};
inline constexpr ModuleFirmware kIoBoardFirmware     = {30, 31};

// Marks a sensor set that has no alarm flags.
inline constexpr UINT kNoAlarmSelector = 0xFFFFFFFFu;

// Temperature sensors (IxaGetTemperature) with their alarm flags (IxaGetAlarm):
// the selectors of sensor 1, the others follow consecutively.
struct ModuleSensors {
    UINT temperatureSelector;
    UINT alarmSelector;  // kNoAlarmSelector: no alarm flags
};

// Four sensors each (WriteSensorTemperatures).      temperature  alarm
inline constexpr ModuleSensors kDisplayLinkSensors = {35,          35};
inline constexpr ModuleSensors kIoBoardSensors     = {31,          kNoAlarmSelector};
inline constexpr ModuleSensors kIfBoardSensors     = {27,          kNoAlarmSelector};  // both slots
inline constexpr ModuleSensors kCpuBoardSensors    = {15,          27};
// One sensor each (the single-sensor test).
inline constexpr ModuleSensors kSlideInDrive1Sensor = {3,          2};
inline constexpr ModuleSensors kSlideInDrive2Sensor = {4,          3};

// The selectors of a numbered slot or module; null for numbers other than 1 and 2.
inline const ModuleSelectors* SlideInDriveSelectors(int slot)
{
    return slot == 1 ? &kSlideInDrive1Selectors : slot == 2 ? &kSlideInDrive2Selectors : nullptr;
}

inline const ModuleSelectors* IfBoardSelectors(int slot)
{
    return slot == 1 ? &kIfBoard1Selectors : slot == 2 ? &kIfBoard2Selectors : nullptr;
}

inline const ModuleSelectors* MemoryModuleSelectors(int module)
{
    return module == 1 ? &kMemoryModule1Selectors : module == 2 ? &kMemoryModule2Selectors : nullptr;
}

inline const ModuleStatistics* IfBoardStatistics(int slot)
{
    return slot == 1 ? &kIfBoard1Statistics : slot == 2 ? &kIfBoard2Statistics : nullptr;
}

inline const ModuleSensors* SlideInDriveSensor(int slot)
{
    return slot == 1 ? &kSlideInDrive1Sensor : slot == 2 ? &kSlideInDrive2Sensor : nullptr;
}

}  // namespace kv
