// The BIOS, general, voltage, operating controls and fan settings groups against a
// device binding without a library: only the entry points a test hands in exist, so
// a missing entry point is tested as the groups meet it on a reduced library.
#include "report_file.h"

#include "groups/host/bios_group.h"
#include "groups/host/fan_values_group.h"
#include "groups/host/general_group.h"
#include "groups/host/op_ctrls_group.h"
#include "groups/host/voltages_group.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

// The group with its library released; the test binds what it needs.
template <typename Group>
class Unbound : public Group {
public:
    explicit Unbound(ReportWriter* writer) : Group(writer) { this->m_device.Release(); }
    DeviceInterface& Device() { return this->m_device; }
};

struct ScratchReport {
    ScratchReport() { writer.file = file.handle(); }
    TempReport file;
    ReportWriter writer;
};

int WINAPI DeviceType18(void* value)
{
    *static_cast<DWORD*>(value) = 18;
    return 1;
}

int WINAPI SerialId1A2B(void* value)
{
    *static_cast<DWORD*>(value) = 0x1A2B;
    return 1;
}

int WINAPI KeyCfgValid(void* value)
{
    *static_cast<DWORD*>(value) = 1;
    return 1;
}

int WINAPI KeyCfgText(UINT, wchar_t* buffer, UINT)
{
    buffer[0] = L'x';
    buffer[1] = L'\0';
    return 1;
}

// A library that writes a whole 32-bit value where 8 bits are asked for.
int WINAPI WideKeyLayer(void* value)
{
    *static_cast<DWORD*>(value) = 0x01020304;
    return 1;
}

int WINAPI FanValue40(UINT, void* buffer, UINT size)
{
    if (size != 1)
        return 0;
    *static_cast<BYTE*>(buffer) = 40;
    return 1;
}

const std::wstring kT6(6, L'\t');
const std::wstring kT7(7, L'\t');

std::vector<std::wstring> TestLines(const std::wstring& name, const std::wstring& description, int number,
                                    const std::wstring& result, const std::wstring& format,
                                    const std::wstring& status = L"Passed")
{
    return {kT6 + L"<Test>",
            kT7 + L"<TestName>" + name + L"</TestName>",
            kT7 + L"<TestDescription>" + (description.empty() ? L"DescrUndef" : description) + L"</TestDescription>",
            kT7 + L"<TestNumber>" + std::to_wstring(number) + L"</TestNumber>",
            kT7 + L"<TestResult Format=\"" + format + L"\">" + result + L"</TestResult>",
            kT7 + L"<TestStatus>" + status + L"</TestStatus>",
            kT6 + L"</Test>"};
}

std::vector<std::wstring> GroupStart(const std::wstring& name, const std::wstring& description)
{
    return {L"\t<TestGroup>",
            L"\t\t<GroupNumber>1</GroupNumber>",
            L"\t\t<GroupName>" + name + L"</GroupName>",
            L"\t\t<GroupDescription>" + description + L"</GroupDescription>",
            L"\t\t<Category>",
            L"\t\t\t<CategoryName>CatUndef</CategoryName>",
            L"\t\t\t\t<SubCategory>",
            L"\t\t\t\t\t<SubCategoryName>CatUndef</SubCategoryName>"};
}

const std::vector<std::wstring> kGroupEnd = {L"\t\t\t</SubCategory>", L"\t\t</Category>", L"\t</TestGroup>"};

void Append(std::vector<std::wstring>& lines, const std::vector<std::wstring>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

// The text of a failure without an entry point is whatever the last error then was;
// these tests hold the rest of its lines.
void ExpectFailedTest(const std::vector<std::wstring>& lines, size_t start, const std::wstring& name, int number)
{
    ASSERT_LT(start + 6, lines.size());
    EXPECT_EQ(kT7 + L"<TestName>" + name + L"</TestName>", lines[start + 1]);
    EXPECT_EQ(kT7 + L"<TestNumber>" + std::to_wstring(number) + L"</TestNumber>", lines[start + 3]);
    EXPECT_EQ(0u, lines[start + 4].rfind(kT7 + L"<TestResult Format=\"String\">", 0)) << lines[start + 4].c_str();
    EXPECT_EQ(kT7 + L"<TestStatus>Failed</TestStatus>", lines[start + 5]);
}

template <typename Group>
std::vector<std::wstring> RunWithoutDeviceType()
{
    ScratchReport report;
    Unbound<Group> group(&report.writer);
    group.RunTests();
    return report.file.Lines();
}

TEST(HostGroups, GroupsWithTheDeviceTypeGateWriteNothingWithoutTheDeviceTypeFunction)
{
    EXPECT_TRUE(RunWithoutDeviceType<CTestBios>().empty());
    EXPECT_TRUE(RunWithoutDeviceType<CTestGeneral>().empty());
    EXPECT_TRUE(RunWithoutDeviceType<CTestVoltages>().empty());
    EXPECT_TRUE(RunWithoutDeviceType<CTestOpCtrls>().empty());
}

TEST(HostGroups, BiosWithoutFirmwareFunctionsFailsBothStringsAndLeavesOutTheBootMode)
{
    ScratchReport report;
    Unbound<CTestBios> bios(&report.writer);
    bios.Device().IxaGetDeviceType = DeviceType18;
    bios.RunTests();

    std::vector<std::wstring> lines = report.file.Lines();
    // No BIOS key in the test prefix: version and build date only.
    ASSERT_EQ(8u + 7u + 7u + 3u, lines.size());
    std::vector<std::wstring> start(lines.begin(), lines.begin() + 8);
    EXPECT_EQ(GroupStart(L"BIOS", L"Contains BIOS related tests like checking the version number or the BIOS ID."),
              start);
    ExpectFailedTest(lines, 8, L"Version", 1);
    ExpectFailedTest(lines, 15, L"Build date", 2);
    EXPECT_EQ(kGroupEnd, std::vector<std::wstring>(lines.end() - 3, lines.end()));
}

TEST(HostGroups, GeneralWithoutKeyConfigurationStateFailsTheStateAndEndsTheGroup)
{
    ScratchReport report;
    Unbound<CTestGeneral> general(&report.writer);
    general.Device().IxaGetDeviceType = DeviceType18;
    general.Device().IxaGetUserSerialId = SerialId1A2B;
    general.Device().IxaGetKeyCfgStringW = KeyCfgText;
    general.RunTests();

    std::vector<std::wstring> expected = {
        L"\t<TestGroup>",
        L"\t\t<GroupNumber>1</GroupNumber>",
        L"\t\t<GroupName>General</GroupName>",
        L"\t\t<GroupDescription>Contains general tests like key configuration or user settings.</GroupDescription>",
        L"\t\t<Category>",
        L"\t\t\t<CategoryName>User Settings</CategoryName>",
        L"\t\t\t<SubCategory>",
        L"\t\t\t\t<SubCategoryName>User Serial ID</SubCategoryName>"};
    Append(expected, TestLines(L"Value",
                               L"The User Serial ID is a 32-bit value that can be freely defined and allows you to "
                               L"give the Kavrol device your own identification number.",
                               1, L"00001A2Bh", L"String"));
    Append(expected, {L"\t\t\t</SubCategory>", L"\t\t</Category>", L"\t\t<Category>",
                      L"\t\t\t<CategoryName>Key Configuration</CategoryName>", L"\t\t\t\t<SubCategory>",
                      L"\t\t\t\t\t<SubCategoryName>CatUndef</SubCategoryName>"});
    std::vector<std::wstring> lines = report.file.Lines();
    ASSERT_EQ(expected.size() + 7u + 3u, lines.size());
    EXPECT_EQ(expected, std::vector<std::wstring>(lines.begin(), lines.begin() + expected.size()));
    ExpectFailedTest(lines, expected.size(), L"State", 2);
    EXPECT_EQ(kGroupEnd, std::vector<std::wstring>(lines.end() - 3, lines.end()));
}

TEST(HostGroups, KeyLayerKeepsTheLowByteWhenTheLibraryWritesMore)
{
    ScratchReport report;
    Unbound<CTestGeneral> general(&report.writer);
    general.Device().IxaGetDeviceType = DeviceType18;
    general.Device().IxaGetUserSerialId = SerialId1A2B;
    general.Device().IxaGetKeyCfgState = KeyCfgValid;
    general.Device().IxaGetKeyCfgStringW = KeyCfgText;
    general.Device().IxaGetKeyLayer = WideKeyLayer;
    general.Device().IxaGetKeyLayerMode = WideKeyLayer;
    general.RunTests();

    std::vector<std::wstring> lines = report.file.Lines();
    ASSERT_GE(lines.size(), 17u);
    std::vector<std::wstring> tail(lines.end() - 17, lines.end());
    std::vector<std::wstring> expected = TestLines(L"Key layer", L"The number of the active key layer.", 6, L"4",
                                                   L"Dec");
    Append(expected, TestLines(L"Layer mode", L"0=Shift, 1=Toggle, 2=One-Shot.", 7, L"4", L"Dec"));
    Append(expected, kGroupEnd);
    EXPECT_EQ(expected, tail);
}

TEST(HostGroups, OperatingControlsWithoutHardwareFunctionAreNotFitted)
{
    ScratchReport report;
    Unbound<CTestOpCtrls> controls(&report.writer);
    controls.Device().IxaGetDeviceType = DeviceType18;
    controls.RunTests();

    const std::wstring special = L"Can only be read with special hardware.";
    std::vector<std::wstring> expected = GroupStart(
        L"Operating controls", L"Contains operating controls related tests like push button or selector switch.");
    Append(expected, TestLines(L"Push button", special, 1, L"N/A", L"String"));
    Append(expected, TestLines(L"Selector switch", special, 2, L"N/A", L"String"));
    Append(expected, TestLines(L"Stop button", special, 3, L"N/A", L"String"));
    std::vector<std::wstring> lines = report.file.Lines();
    ASSERT_EQ(expected.size() + 7u + 3u, lines.size());
    EXPECT_EQ(expected, std::vector<std::wstring>(lines.begin(), lines.begin() + expected.size()));
    // The enable switch has no presence read: its result follows the last error.
    EXPECT_EQ(kT7 + L"<TestName>Enable switch</TestName>", lines[expected.size() + 1]);
    EXPECT_EQ(kGroupEnd, std::vector<std::wstring>(lines.end() - 3, lines.end()));
}

TEST(HostGroups, FanSettingsWithoutFanFunctionWriteNothing)
{
    ScratchReport report;
    Unbound<CTestFanValues> fans(&report.writer);
    fans.Device().IxaGetDeviceType = DeviceType18;
    fans.RunTests();
    EXPECT_TRUE(report.file.Lines().empty());
}

TEST(HostGroups, FanSettingsDoNotAskForTheDeviceType)
{
    ScratchReport report;
    Unbound<CTestFanValues> fans(&report.writer);
    fans.Device().IxaGetFanValue = FanValue40;
    fans.RunTests();

    std::vector<std::wstring> expected =
        GroupStart(L"Fan settings", L"Contains information about the fan settings.");
    Append(expected, TestLines(L"Fan min. speed", L"", 1, L"40%", L"String"));
    Append(expected, TestLines(L"Bus fan min. speed", L"", 2, L"40%", L"String"));
    Append(expected, kGroupEnd);
    EXPECT_EQ(expected, report.file.Lines());
}

}  // namespace
}  // namespace kv
