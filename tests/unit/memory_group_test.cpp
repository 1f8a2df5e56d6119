// The memory group's figures: unit switches at 1 MiB and 1 GiB, single-precision
// rounding, and the paging file state and usage.
#include "groups/modules/memory_group.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

const DWORDLONG kKiB = 1024;
const DWORDLONG kMiB = 1024 * kKiB;
const DWORDLONG kGiB = 1024 * kMiB;

struct SizeCase {
    const char* name;
    MemorySizeText (*rule)(DWORDLONG);
    DWORDLONG bytes;
    const wchar_t* text;
    int format;
};

class MemorySizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(MemorySizes, FigureHasItsTextAndUnit)
{
    const SizeCase& c = GetParam();
    const MemorySizeText size = c.rule(c.bytes);
    EXPECT_EQ(c.text, size.text);
    EXPECT_EQ(c.format, size.format);
}

static const SizeCase kSizeCases[] = {
    {"PhysicalTotalOfExactlyOneGiBIsWholeMegabytes", PhysicalTotalText, kGiB, L"1024", kFmtMegaByte},
    {"PhysicalTotalAboveOneGiBIsGigabytes", PhysicalTotalText, kGiB + 1, L"1.00", kFmtGigaByte},
    {"PhysicalTotalOfTwoAndAHalfGiB", PhysicalTotalText, 2 * kGiB + 512 * kMiB, L"2.50", kFmtGigaByte},
    {"PhysicalTotalDropsPartialMegabytes", PhysicalTotalText, 700 * kMiB + kMiB - 1, L"700", kFmtMegaByte},
    // In double precision this would round up to 1.01.
    {"PhysicalTotalIsSinglePrecision", PhysicalTotalText, 1079110540, L"1.00", kFmtGigaByte},
    {"PhysicalFreeOfExactlyOneGiBIsGigabytes", PhysicalFreeText, kGiB, L"1.00", kFmtGigaByte},
    {"PhysicalFreeBelowOneGiBIsWholeMegabytes", PhysicalFreeText, kGiB - 1, L"1023", kFmtMegaByte},
    {"PhysicalFreeOfExactlyOneMiBIsOneMegabyte", PhysicalFreeText, kMiB, L"1", kFmtMegaByte},
    {"PhysicalFreeOf900KiBIsKilobytes", PhysicalFreeText, 900 * kKiB, L"900", kFmtKiloByte},
    {"PhysicalFreeBelowOneMiBDropsPartialKilobytes", PhysicalFreeText, kMiB - 1, L"1023", kFmtKiloByte},
    {"PhysicalFreeOfNothing", PhysicalFreeText, 0, L"0", kFmtKiloByte},
    {"PagingOfExactlyOneGiBIsMegabytesWithDecimals", PagingSizeText, kGiB, L"1024.00", kFmtMegaByte},
    {"PagingAboveOneGiBIsGigabytes", PagingSizeText, 4 * kGiB, L"4.00", kFmtGigaByte},
    {"PagingMegabytesKeepTheirFraction", PagingSizeText, 512 * kMiB + 256 * kKiB, L"512.25", kFmtMegaByte},
    // In double precision this would round down to 1000.00.
    {"PagingMegabytesAreSinglePrecision", PagingSizeText, 1048581216, L"1000.01", kFmtMegaByte},
    {"PagingOfNothing", PagingSizeText, 0, L"0.00", kFmtMegaByte},
};

INSTANTIATE_TEST_SUITE_P(Memory, MemorySizes, ::testing::ValuesIn(kSizeCases),
                         [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST(MemoryPaging, PagingFileBelowPhysicalMemoryIsDisabled)
{
    EXPECT_STREQ(L"Disabled", PagingFileStateText(0, 4 * kGiB));
    EXPECT_STREQ(L"Disabled", PagingFileStateText(4 * kGiB - 1, 4 * kGiB));
    EXPECT_STREQ(L"Enabled", PagingFileStateText(4 * kGiB, 4 * kGiB));
    EXPECT_STREQ(L"Enabled", PagingFileStateText(8 * kGiB, 4 * kGiB));
}

TEST(MemoryPaging, UsageIsWholePercentWithTruncatingDivision)
{
    EXPECT_EQ(L"0", PagingUsageText(0, 0));
    EXPECT_EQ(L"75", PagingUsageText(4 * kGiB, kGiB));
    EXPECT_EQ(L"67", PagingUsageText(3, 1));  // 100 - 33
    EXPECT_EQ(L"0", PagingUsageText(kGiB, kGiB));
    EXPECT_EQ(L"100", PagingUsageText(kGiB, 0));
}

}  // namespace
}  // namespace kv
