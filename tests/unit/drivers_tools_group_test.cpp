// The drivers and tools group's install date: YYYYMMDD, DDMMYYYY when that month
// would exceed 12, and what becomes of texts that are not 8 digits.
#include "groups/platform/drivers_tools_group.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

struct DateCase {
    const char* name;
    const wchar_t* installDate;
    const wchar_t* text;
};

class InstallDates : public ::testing::TestWithParam<DateCase> {};

TEST_P(InstallDates, InstallDateHasItsDisplayText)
{
    EXPECT_EQ(GetParam().text, FormatInstallDate(GetParam().installDate));
}

static const DateCase kDateCases[] = {
    {"YearMonthDay", L"20120915", L"2012-09-15"},
    {"DayMonthYearWhenTheMonthWouldExceed12", L"15092012", L"2012-09-15"},
    {"Month12StaysYearMonthDay", L"20121231", L"2012-12-31"},
    {"Month13IsReadAsDayMonthYear", L"20121315", L"1315-12-20"},
    {"SevenCharactersGiveNothing", L"2012091", L""},
    {"NineCharactersGiveNothing", L"201209150", L""},
    {"EmptyGivesNothing", L"", L""},
    // Fields that are not all digits count as 0; the others keep their value.
    {"LettersInTheMonth", L"2012AB15", L"2012-00-15"},
    {"LettersInTheYearThenDayMonthYear", L"AB202012", L"2012-20-00"},
    {"SignsAndBlanks", L"2012-9-1", L"2012-00-00"},
    {"OnlyBlanks", L"        ", L"0000-00-00"},
};

INSTANTIATE_TEST_SUITE_P(DriversAndTools, InstallDates, ::testing::ValuesIn(kDateCases),
                         [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv
