// The UPS group's pure pieces: the version text comparison of the firmware gates,
// link quality, battery figures in single precision and the user settings block;
// and the upload without its entry point.
#include "report_file.h"

#include "device/text_helpers.h"
#include "groups/platform/ups_group.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kv {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

struct VersionCase {
    const wchar_t* left;
    const wchar_t* right;
    int sign;
};

TEST(UpsVersionText, ComparesCharacterByCharacterWithAsciiLettersFoldedToLowerCase)
{
    static const VersionCase kCases[] = {
        {L"1.07", L"1.08", -1},  {L"1.08", L"1.08", 0},   {L"1.12", L"1.10", 1},
        {L"1.9", L"1.10", 1},    // above as text, below as a number
        {L"1.1", L"1.10", -1},   // below as text, equal as a number
        {L"10.0", L"1.10", 1},   {L"", L"1.10", -1},      {L"1.10", L"", 1},
        {L"V1.10", L"v1.10", 0}, {L"1.1A", L"1.1a", 0},
        {L"1_", L"1A", -1},      // '_' lies between 'Z' and 'a': folded to lower case, not upper
        {L"\u00C4", L"\u00E4", -1},  // letters beyond ASCII keep their case
    };
    for (const VersionCase& c : kCases) {
        EXPECT_EQ(c.sign, Sign(CompareVersionText(c.left, c.right))) << c.left << L" : " << c.right;
        EXPECT_EQ(-c.sign, Sign(CompareVersionText(c.right, c.left))) << c.right << L" : " << c.left;
    }
}

TEST(UpsLinkQuality, IsOneHundredLessTheErrorsInWholePercent)
{
    EXPECT_EQ(99u, LinkQuality(200, 3));  // 100 - 300 / 200
    EXPECT_EQ(100u, LinkQuality(200, 0));
    EXPECT_EQ(67u, LinkQuality(3, 1));
    EXPECT_EQ(0u, LinkQuality(5, 5));
}

TEST(UpsLinkQuality, MoreErrorsThanRequestsIsZeroNotAWrappedNumber)
{
    EXPECT_EQ(0u, LinkQuality(3, 5));
    EXPECT_EQ(0u, LinkQuality(1, 255));
}

TEST(UpsBatteryFigures, AreDividedInSinglePrecision)
{
    // In double precision 155 mA would read 0.15, 12025 mV 12.03 and -3850 mA -3.9.
    EXPECT_EQ(L"0.16", BatteryCurrentText(155));
    EXPECT_EQ(L"12.02", BatteryVoltageText(12025));
    EXPECT_EQ(L"-3.8", BatteryCurrentText(-3850));
    EXPECT_EQ(L"13.01", BatteryVoltageText(13005));
}

TEST(UpsBatteryFigures, NegativeCurrentHasOneDecimalOthersTwo)
{
    EXPECT_EQ(L"-1.5", BatteryCurrentText(-1500));
    EXPECT_EQ(L"1.50", BatteryCurrentText(1500));
    EXPECT_EQ(L"0.00", BatteryCurrentText(0));
    EXPECT_EQ(L"-0.0", BatteryCurrentText(-1));
    EXPECT_EQ(L"4294967.50", BatteryVoltageText(0xFFFFFFFFu));
}

std::string Block(size_t length, std::initializer_list<std::pair<size_t, unsigned char>> bytes)
{
    std::string block(length, '\0');
    for (const auto& byte : bytes)
        block[byte.first] = static_cast<char>(byte.second);
    return block;
}

TEST(UpsUserSettings, LongBlockHoldsFlagsAndTheShutdownTimeAtOffset8)
{
    const UserSettings disabled = DecodeUserSettings(Block(256, {{8, 0x2C}, {9, 0x01}, {10, 0x01}}));
    EXPECT_TRUE(disabled.hasFlags);
    EXPECT_TRUE(disabled.currentLimitationDisabled);
    EXPECT_FALSE(disabled.overCurrentLowBattery);
    EXPECT_TRUE(disabled.hasShutdownTime);
    EXPECT_EQ(300u, disabled.shutdownTime);

    const UserSettings lowBattery = DecodeUserSettings(Block(256, {{8, 0xFF}, {9, 0xFF}, {10, 0xFE}}));
    EXPECT_FALSE(lowBattery.currentLimitationDisabled);
    EXPECT_TRUE(lowBattery.overCurrentLowBattery);
    EXPECT_EQ(65535u, lowBattery.shutdownTime);
}

TEST(UpsUserSettings, ShortBlockHoldsOnlyTheShutdownTimeAtOffset4)
{
    const UserSettings settings = DecodeUserSettings(Block(8, {{4, 0x78}, {5, 0x00}, {7, 0xFF}}));
    EXPECT_FALSE(settings.hasFlags);
    EXPECT_TRUE(settings.hasShutdownTime);
    EXPECT_EQ(120u, settings.shutdownTime);
}

TEST(UpsUserSettings, OtherLengthsAreRawDataOnly)
{
    for (size_t length : {0u, 7u, 9u, 100u, 255u}) {
        const UserSettings settings = DecodeUserSettings(Block(length, {}));
        EXPECT_FALSE(settings.hasFlags) << length;
        EXPECT_FALSE(settings.hasShutdownTime) << length;
    }
}

// A library without the upload entry point: only the presence values exist and
// the status word is 0.
int WINAPI HardwareValue(UINT selector, void* buffer, UINT size)
{
    if (size != sizeof(DWORD) || (selector != 28 && selector != 29 && selector != 31)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *static_cast<DWORD*>(buffer) = selector == 31 ? 0 : 1;
    return 1;
}

class UnboundUps : public CTestUPS {
public:
    explicit UnboundUps(ReportWriter* writer) : CTestUPS(writer)
    {
        m_device.Release();
        m_device.IxaGetHardwareValue = HardwareValue;
    }
};

TEST(UpsUserSettings, MissingUploadFunctionIsReportedAsSuchNotAsSuccess)
{
    TempReport file;
    ReportWriter writer;
    writer.file = file.handle();
    UnboundUps(&writer).RunTests();
    const std::vector<std::wstring> lines = file.Lines();

    const auto category = std::find(lines.begin(), lines.end(), L"\t\t\t<CategoryName>User Settings</CategoryName>");
    ASSERT_NE(lines.end(), category);
    const std::wstring t7(7, L'\t');
    const std::vector<std::wstring> expected = {
        L"\t\t\t\t<SubCategory>", L"\t\t\t\t\t<SubCategoryName>CatUndef</SubCategoryName>", L"\t\t\t\t\t\t<Test>",
        t7 + L"<TestName>Raw data</TestName>", t7 + L"<TestDescription>Complete factory settings</TestDescription>"};
    ASSERT_GT(lines.end() - category, 10);
    EXPECT_EQ(expected, std::vector<std::wstring>(category + 1, category + 6));
    EXPECT_EQ(t7 + L"<TestResult Format=\"String\">" + SystemErrorText(ERROR_PROC_NOT_FOUND) + L"</TestResult>",
              *(category + 7));
    EXPECT_EQ(t7 + L"<TestStatus>Failed</TestStatus>", *(category + 8));
    EXPECT_EQ(L"\t\t\t</SubCategory>", *(category + 10));
}

}  // namespace
}  // namespace kv
