#include "groups/modules/memory_group.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

// String table entries of the group.
const UINT kIdsMemory = 324;
const UINT kIdsMemoryDescription = 325;
const UINT kIdsPhysicalMemory = 326;
const UINT kIdsPhysicalTotal = 327;
const UINT kIdsPhysicalFree = 328;
const UINT kIdsPhysicalUsage = 329;
const UINT kIdsFactorySettingsCategory = 330;
const UINT kIdsFactorySettingsSubCategory = 331;
const UINT kIdsMemoryModuleFormat = 332;  // "Memory Module %d"
const UINT kIdsPagingMemory = 333;
const UINT kIdsPagingFile = 334;
const UINT kIdsPagingUsage = 335;
const UINT kIdsPagingFree = 336;
const UINT kIdsPagingTotal = 337;

const DWORDLONG kGiB = 1073741824;
const DWORDLONG kMiB = 1048576;

// The record length the call expects.
const DWORD kMemoryStatusLength = 64;

// Presence values of the memory modules (IxaGetHardwareValue).
const UINT kMemoryModule1PresenceSelector = 64;
const UINT kMemoryModule2PresenceSelector = 60;

MemorySizeText GigaBytes(DWORDLONG bytes)
{
    const float gigaBytes = static_cast<float>(bytes) * (1.0f / 1073741824.0f);
    return MemorySizeText{Format(L"%1.2f", gigaBytes), kFmtGigaByte};
}

MemorySizeText MegaBytesWithDecimals(DWORDLONG bytes)
{
    const float megaBytes = static_cast<float>(bytes) * (1.0f / 1024.0f) * (1.0f / 1024.0f);
    return MemorySizeText{Format(L"%1.2f", megaBytes), kFmtMegaByte};
}

MemorySizeText WholeMegaBytes(DWORDLONG bytes)
{
    return MemorySizeText{Format(L"%lu", static_cast<unsigned long>(bytes >> 20)), kFmtMegaByte};
}

MemorySizeText WholeKiloBytes(DWORDLONG bytes)
{
    return MemorySizeText{Format(L"%lu", static_cast<unsigned long>(bytes >> 10)), kFmtKiloByte};
}

}  // namespace

MemorySizeText PhysicalTotalText(DWORDLONG bytes)
{
    return bytes > kGiB ? GigaBytes(bytes) : WholeMegaBytes(bytes);
}

MemorySizeText PhysicalFreeText(DWORDLONG bytes)
{
    if (bytes >= kGiB)
        return GigaBytes(bytes);
    if (bytes >= kMiB)
        return WholeMegaBytes(bytes);
    return WholeKiloBytes(bytes);
}

MemorySizeText PagingSizeText(DWORDLONG bytes)
{
    return bytes > kGiB ? GigaBytes(bytes) : MegaBytesWithDecimals(bytes);
}

const wchar_t* PagingFileStateText(DWORDLONG totalPageFile, DWORDLONG totalPhysical)
{
    return totalPageFile < totalPhysical ? L"Disabled" : L"Enabled";
}

std::wstring PagingUsageText(DWORDLONG totalPageFile, DWORDLONG availablePageFile)
{
    if (totalPageFile == 0)
        return L"0";
    const DWORDLONG used = 100 - (availablePageFile * 100 / totalPageFile);
    return Format(L"%lu", static_cast<unsigned long>(used));
}

void CTestMemory::RunTests()
{
    Writer().BeginGroup(kIdsMemory, kIdsMemoryDescription, kIdsPhysicalMemory);

    MEMORYSTATUSEX status = {};
    status.dwLength = kMemoryStatusLength;
    ::GlobalMemoryStatusEx(&status);  // the record is used as filled, whatever the result
    WritePhysicalMemoryTests(status);

    if (MemoryModulesApply())
        WriteMemoryModules();

    Writer().BeginCategory(kIdsPagingMemory);
    WritePagingMemoryTests(status);
    Writer().EndGroup();
}

void CTestMemory::WritePhysicalMemoryTests(const MEMORYSTATUSEX& status)
{
    const MemorySizeText total = PhysicalTotalText(status.ullTotalPhys);
    WritePassedTest(kIdsPhysicalTotal, total.text, total.format);
    const MemorySizeText free = PhysicalFreeText(status.ullAvailPhys);
    WritePassedTest(kIdsPhysicalFree, free.text, free.format);
    WritePassedTest(kIdsPhysicalUsage, Format(L"%d", static_cast<int>(status.dwMemoryLoad)), kFmtPercent);
}

void CTestMemory::WritePagingMemoryTests(const MEMORYSTATUSEX& status)
{
    WritePassedTest(kIdsPagingFile, PagingFileStateText(status.ullTotalPageFile, status.ullTotalPhys),
                    kFmtEnableDisable);
    const MemorySizeText total = PagingSizeText(status.ullTotalPageFile);
    WritePassedTest(kIdsPagingTotal, total.text, total.format);
    const MemorySizeText free = PagingSizeText(status.ullAvailPageFile);
    WritePassedTest(kIdsPagingFree, free.text, free.format);
    WritePassedTest(kIdsPagingUsage, PagingUsageText(status.ullTotalPageFile, status.ullAvailPageFile), kFmtPercent);
}

// Devices whose library answers the module probe report their memory through
// the module groups; only the others get the memory-module categories here.
bool CTestMemory::MemoryModulesApply()
{
    const ixa::ModuleRead probe = m_device.IxaGetModuleTemperatureValue;
    if (!probe)
        return true;
    BYTE buffer[4] = {};
    if (probe(0, 0, 0, buffer, sizeof buffer))
        return false;
    return ::GetLastError() == ERROR_INVALID_FUNCTION;
}

void CTestMemory::WriteMemoryModules()
{
    PassDeviceTypeGate();  // fills the device type cache when it is still empty

    // The memory of these models sits on one module without a presence value.
    if (IsType(kVoltadeckV70) || IsType(kCorvaboxC80) || IsType(kCorvaboxC81)) {
        Writer().BeginCategory(kIdsFactorySettingsCategory);
        WriteFactorySettings(MemoryModule{1});
        return;
    }
    if (!IsType(kCorvaboxC90) && !IsType(kPanevoxP91))
        return;

    const std::wstring subCategory = LoadResourceString(kIdsFactorySettingsSubCategory);
    for (int module = 1; module <= 2; ++module) {
        if (!IsMemoryModulePresent(module))
            continue;
        const std::wstring name = Format(LoadResourceString(kIdsMemoryModuleFormat).c_str(), module);
        Writer().BeginCategory(name.c_str(), subCategory.c_str());
        WriteFactorySettings(MemoryModule{module});
    }
}

bool CTestMemory::IsMemoryModulePresent(int module)
{
    const ixa::SelectorRead read = m_device.IxaGetHardwareValue;
    const UINT selector = module == 1 ? kMemoryModule1PresenceSelector : kMemoryModule2PresenceSelector;
    UINT32 present = 0;
    return read && read(selector, &present, sizeof present) && present != 0;
}

}  // namespace kv
