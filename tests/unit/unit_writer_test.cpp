// The number formats of the unit and panel groups, module names and device type sets.
#include "groups/units/panel_module_group.h"
#include "groups/units/pc_module_group.h"
#include "groups/units/unit_writer.h"

#include <gtest/gtest.h>

#include <limits>

namespace kv {
namespace {

TEST(QuarterHourText, WholeHoursAndQuartersAsMinutes)
{
    EXPECT_EQ(L"2h 30min", QuarterHourText(10));
    EXPECT_EQ(L"0h 0min", QuarterHourText(0));
    EXPECT_EQ(L"0h 45min", QuarterHourText(3));
    EXPECT_EQ(L"1073741823h 45min", QuarterHourText(0xFFFFFFFFu));
}

struct HoursCase {
    const char* name;
    float hours;
    const wchar_t* text;  // null: no reading
};

class FloatHours : public ::testing::TestWithParam<HoursCase> {};

TEST_P(FloatHours, AreTruncatedInSinglePrecisionOrNoReading)
{
    std::wstring text = L"untouched";
    const bool read = HoursText(GetParam().hours, text);
    if (GetParam().text) {
        EXPECT_TRUE(read);
        EXPECT_EQ(GetParam().text, text);
    } else {
        EXPECT_FALSE(read);
        EXPECT_EQ(L"untouched", text);
    }
}

const float kInfinity = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    UnitFormats, FloatHours,
    ::testing::Values(HoursCase{"TwoAndAHalf", 2.5f, L"2h 30min"}, HoursCase{"JustBelowOne", 0.999f, L"0h 59min"},
                      HoursCase{"Zero", 0.0f, L"0h 0min"}, HoursCase{"Large", 18342.75f, L"18342h 45min"},
                      HoursCase{"NegativeTowardZero", -2.5f, L"-2h -30min"},
                      // The largest float below 2^31 still has whole hours in int range.
                      HoursCase{"LargestInRange", 2147483520.0f, L"2147483520h 0min"},
                      HoursCase{"TwoToThe31", 2147483648.0f, nullptr}, HoursCase{"FarBelow", -3.0e9f, nullptr},
                      HoursCase{"Infinite", kInfinity, nullptr}, HoursCase{"MinusInfinite", -kInfinity, nullptr},
                      HoursCase{"NaN", std::numeric_limits<float>::quiet_NaN(), nullptr}),
    [](const ::testing::TestParamInfo<HoursCase>& info) { return std::string(info.param.name); });

TEST(UnitFormats, OptimizedIdIsEightBitsHighestFirst)
{
    EXPECT_EQ(L"00000101", BitsText(0x05));
    EXPECT_EQ(L"10000110", BitsText(0x86));
    EXPECT_EQ(L"11111111", BitsText(0xFF));
}

TEST(UnitFormats, QuarterDegreesDecibelsAndPlainFloats)
{
    EXPECT_EQ(L"-25.00 \u00B0C", QuarterDegreesText(-100));
    EXPECT_EQ(L"61.25 \u00B0C", QuarterDegreesText(245));
    EXPECT_EQ(L"-12.50 dB", DecibelText(-12.5f));
    EXPECT_EQ(L"0.00 dB", DecibelText(0.0f));
    EXPECT_EQ(L"0.02", FloatText(0.02f));
}

TEST(UnitFormats, TypeSetsHoldOnlyTheirTypes)
{
    const TypeSet set = Types({6, 7, 22});
    EXPECT_TRUE(set.Has(6));
    EXPECT_TRUE(set.Has(22));
    EXPECT_FALSE(set.Has(0));
    EXPECT_FALSE(set.Has(18));
    // Codes beyond the set's bits never alias a small code (38 = 32 + 6).
    EXPECT_FALSE(set.Has(38));
    EXPECT_FALSE(set.Has(0xFFFFFFFFu));
}

TEST(ModuleNames, FromTheStringTable)
{
    EXPECT_EQ(L"System Unit", PcModuleName(0));
    EXPECT_EQ(L"IF Module 2", PcModuleName(5));
    EXPECT_EQ(L"Expansion Unit (local)", PcModuleName(13));
    EXPECT_EQ(L"Module 14", PcModuleName(14));
    EXPECT_EQ(L"Module 15", PcModuleName(15));
    EXPECT_EQ(L"Panel", PanelModuleName(0));
    EXPECT_EQ(L"HDBaseT", PanelModuleName(4));
    EXPECT_EQ(L"Panel module 5", PanelModuleName(5));
}

}  // namespace
}  // namespace kv
