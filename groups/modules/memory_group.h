// Memory group: the host's physical memory and paging file as Windows sees them
// and, on devices built from modules, the factory settings of the memory modules.
// Written on every device.
#pragma once

#include "groups/group_base.h"

#include <string>

namespace kv {

class CTestMemory : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WritePhysicalMemoryTests(const MEMORYSTATUSEX& status);
    void WritePagingMemoryTests(const MEMORYSTATUSEX& status);
    bool MemoryModulesApply();
    void WriteMemoryModules();
    bool IsMemoryModulePresent(int module);
};

// A memory figure as the report shows it: the text and its Format code.
struct MemorySizeText {
    std::wstring text;
    int format;
};

// Physical total: gigabytes above 1 GiB, else whole megabytes.
MemorySizeText PhysicalTotalText(DWORDLONG bytes);
// Physical free: gigabytes from 1 GiB, whole megabytes from 1 MiB, else whole kilobytes.
MemorySizeText PhysicalFreeText(DWORDLONG bytes);
// Paging file total or free: gigabytes above 1 GiB, else megabytes with two decimals.
MemorySizeText PagingSizeText(DWORDLONG bytes);
// "Enabled" unless the paging file total is below the physical memory total.
const wchar_t* PagingFileStateText(DWORDLONG totalPageFile, DWORDLONG totalPhysical);
// Percent of the paging file in use; "0" when there is no paging file.
std::wstring PagingUsageText(DWORDLONG totalPageFile, DWORDLONG availablePageFile);

}  // namespace kv
