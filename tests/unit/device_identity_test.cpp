// Device model and CPU board identification: the model names, the board prefix
// table in its order, and what a missing entry point or a failing call gives.
#include "report_file.h"

#include "device/device_identity.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kv {
namespace {

// A stand-in for IxaGetDeviceType: delivers g_type, or fails with 87.
DWORD g_type = 0;
bool g_typeSucceeds = true;
int g_typeCalls = 0;

int WINAPI FakeDeviceType(void* value)
{
    ++g_typeCalls;
    // Even a failing call may have written something: the caller must not use it.
    *static_cast<DWORD*>(value) = g_type;
    if (!g_typeSucceeds) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return 1;
}

// A DeviceInterface without a library whose only entry point is the fake above.
void UseFakeDeviceType(DeviceInterface& device, DWORD type, bool succeeds)
{
    g_type = type;
    g_typeSucceeds = succeeds;
    g_typeCalls = 0;
    device.IxaGetDeviceType = FakeDeviceType;
}

// ASCII text of a test case, for the names ctest shows.
std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
    return out;
}

struct ModelCase {
    DWORD type;
    const wchar_t* name;
};

void PrintTo(const ModelCase& c, std::ostream* os) { *os << "type " << c.type; }

class ModelNames : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ModelNames, DeviceModelNameNamesTheModelOfTheDeviceType)
{
    DeviceInterface device;
    UseFakeDeviceType(device, GetParam().type, true);
    DWORD type = 12345;
    wchar_t text[260] = L"old";
    EXPECT_EQ(1, DeviceModelName(device, &type, text));
    EXPECT_EQ(GetParam().type, type);
    EXPECT_STREQ(GetParam().name, text);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ModelNames,
    ::testing::Values(ModelCase{6, L"Kavrol Corvabox C20"}, ModelCase{7, L"Kavrol Panevox P30"},
                      ModelCase{12, L"Kavrol Corvabox C40"}, ModelCase{13, L"Kavrol Panevox P50"},
                      ModelCase{14, L"Kavrol Corvabox C60"}, ModelCase{15, L"Kavrol Voltadeck V70"},
                      ModelCase{16, L"Kavrol Corvabox C80"}, ModelCase{17, L"Kavrol Corvabox C81"},
                      ModelCase{18, L"Kavrol Corvabox C90"}, ModelCase{19, L"Kavrol Panevox P91"},
                      ModelCase{20, L"Kavrol Corvabox C92"}, ModelCase{21, L"Kavrol Panevox P93"},
                      ModelCase{22, L"Kavrol Roamdeck R96"}, ModelCase{23, L"Kavrol Corvabox C94"},
                      ModelCase{24, L"Kavrol Panevox P95"}, ModelCase{0, L"Not supported"},
                      ModelCase{5, L"Not supported"}, ModelCase{8, L"Not supported"}, ModelCase{11, L"Not supported"},
                      ModelCase{25, L"Not supported"}, ModelCase{99, L"Not supported"},
                      ModelCase{0xFFFFFFFF, L"Not supported"}),
    [](const ::testing::TestParamInfo<ModelCase>& info) { return "Type" + std::to_string(info.param.type); });

TEST(DeviceModelName, AFailingCallGivesUnknownAndTypeZero)
{
    DeviceInterface device;
    UseFakeDeviceType(device, 18, false);
    DWORD type = 12345;
    wchar_t text[260] = L"old";
    EXPECT_EQ(0, DeviceModelName(device, &type, text));
    EXPECT_EQ(0u, type);
    EXPECT_STREQ(L"Unknown", text);
}

TEST(DeviceModelName, AMissingEntryPointGivesUnknownAndTypeZero)
{
    DeviceInterface device;
    DWORD type = 12345;
    wchar_t text[260] = L"old";
    EXPECT_EQ(0, DeviceModelName(device, &type, text));
    EXPECT_EQ(0u, type);
    EXPECT_STREQ(L"Unknown", text);
}

TEST(DeviceModelName, WithoutTextBufferOnlyTheTypeIsDelivered)
{
    DeviceInterface device;
    UseFakeDeviceType(device, 19, true);
    DWORD type = 0;
    EXPECT_EQ(1, DeviceModelName(device, &type, nullptr));
    EXPECT_EQ(19u, type);
    g_typeSucceeds = false;
    EXPECT_EQ(0, DeviceModelName(device, &type, nullptr));
    EXPECT_EQ(0u, type);
}

TEST(DeviceModelName, AlwaysAsksTheLibraryNotTheCache)
{
    DeviceInterface device;
    UseFakeDeviceType(device, 18, true);
    device.deviceType = 7;
    DWORD type = 0;
    wchar_t text[260] = {};
    EXPECT_EQ(1, DeviceModelName(device, &type, text));
    EXPECT_EQ(1, DeviceModelName(device, &type, text));
    EXPECT_EQ(2, g_typeCalls);
    EXPECT_EQ(18u, type);
    EXPECT_STREQ(L"Kavrol Corvabox C90", text);
}

TEST(DeviceModelName, ReadsTheDeviceTypeFromTheLibrary)
{
    ScopedProfile profile(R"({"IxaGetDeviceType": {"u32": 21}})");
    DeviceInterface device;
    device.Load();
    ASSERT_TRUE(device.IsLoaded());
    DWORD type = 0;
    wchar_t text[260] = {};
    EXPECT_EQ(1, DeviceModelName(device, &type, text));
    EXPECT_EQ(21u, type);
    EXPECT_STREQ(L"Kavrol Panevox P93", text);
}

TEST(IsDeviceType, FillsTheCacheOnceAndComparesWithIt)
{
    DeviceInterface device;
    UseFakeDeviceType(device, 18, true);
    EXPECT_EQ(1, IsDeviceType(device, 18));
    EXPECT_EQ(0, IsDeviceType(device, 17));
    EXPECT_EQ(1, IsDeviceType(device, 0));
    EXPECT_EQ(18u, device.deviceType);
    EXPECT_EQ(1, g_typeCalls);
}

TEST(IsDeviceType, CodeZeroTellsWhetherAnyDeviceTypeIsKnown)
{
    DeviceInterface failing;
    UseFakeDeviceType(failing, 18, false);
    EXPECT_EQ(0, IsDeviceType(failing, 0));
    EXPECT_EQ(0, IsDeviceType(failing, 18));
    EXPECT_EQ(0u, failing.deviceType);

    DeviceInterface missing;
    EXPECT_EQ(0, IsDeviceType(missing, 0));

    // A type already cached counts even without the entry point.
    DeviceInterface cached;
    cached.deviceType = 15;
    EXPECT_EQ(1, IsDeviceType(cached, 0));
    EXPECT_EQ(1, IsDeviceType(cached, 15));
}

struct BoardCase {
    const wchar_t* hardwareString;
    DWORD code;
    const wchar_t* text;
};

void PrintTo(const BoardCase& c, std::ostream* os) { *os << '"' << Narrow(c.hardwareString) << '"'; }

const BoardCase kBoardCases[] = {
    {L"TA1K", 1, L"KTA1"},
    {L"TA1K-0815", 1, L"KTA1"},
    {L"KTA1 rev 2", 1, L"KTA1"},
    {L"TB2XKL", 2, L"KTB2"},
    {L"TB2XKL-7", 2, L"KTB2"},
    {L"KTB2", 2, L"KTB2"},
    {L"WTB2XKL", 3, L"WTB2"},
    {L"WTB2XKL-01", 3, L"WTB2"},
    {L"WTB2-01", 3, L"WTB2"},
    {L"RTC3 B", 4, L"RTC3"},
    {L"STC3", 5, L"STC3"},
    {L"WTC3xyz", 6, L"WTC3"},
    {L"RQD4.1", 7, L"RQD4"},
    {L"SSFW", 8, L"SSFW"},
    // Too short for its prefix, a different case, or the prefix not at the start.
    {L"TB2XK", 0, L"TB2XK"},
    {L"WTB", 0, L"WTB"},
    {L"ktb2", 0, L"ktb2"},
    {L"XKTB2", 0, L"XKTB2"},
    {L"Unknown board", 0, L"Unknown board"},
    {L"", 0, L""},
};

class BoardPrefixes : public ::testing::TestWithParam<BoardCase> {};

TEST_P(BoardPrefixes, MatchCpuBoardGivesCodeAndBoardName)
{
    wchar_t text[260] = {};
    wcscpy_s(text, GetParam().hardwareString);
    EXPECT_EQ(GetParam().code, MatchCpuBoard(text));
    EXPECT_STREQ(GetParam().text, text);
}

// The library delivers the hardware string of selector 16 into 520 bytes.
TEST_P(BoardPrefixes, CpuBoardCodeReadsTheHardwareStringOfTheLibrary)
{
    ScopedProfile profile(R"({"IxaGetHardwareStringW": {"16": {"wstr": ")" + Narrow(GetParam().hardwareString) +
                          R"("}}})");
    DeviceInterface device;
    device.Load();
    DWORD code = 99;
    CpuBoardText text;
    wcscpy_s(text.text, L"old");
    EXPECT_EQ(1, CpuBoardCode(device, &code, text));
    EXPECT_EQ(GetParam().code, code);
    EXPECT_STREQ(GetParam().text, text.text);
    EXPECT_EQ((std::vector<std::string>{"IxaGetHardwareStringW(16, 520) = 1 [0]"}),
              profile.Calls("IxaGetHardwareStringW"));
    EXPECT_EQ(GetParam().code != 0 ? 1 : 0, IsCpuBoard(device, GetParam().code == 0 ? 1 : GetParam().code));
}

INSTANTIATE_TEST_SUITE_P(Table, BoardPrefixes, ::testing::ValuesIn(kBoardCases),
                         [](const ::testing::TestParamInfo<BoardCase>& info) {
                             return "Board" + std::to_string(info.index);
                         });

TEST(CpuBoardCode, AFailingCallGivesCodeZeroAndLeavesTheText)
{
    ScopedProfile profile(R"({"IxaGetHardwareStringW": {"16": {"error": 87}}})");
    DeviceInterface device;
    device.Load();
    DWORD code = 99;
    CpuBoardText text;
    wcscpy_s(text.text, L"old text");
    EXPECT_EQ(0, CpuBoardCode(device, &code, text));
    EXPECT_EQ(0u, code);
    EXPECT_STREQ(L"old text", text.text);
    // IsCpuBoard fails too, even when asked for code 0.
    EXPECT_EQ(0, IsCpuBoard(device, 0));
}

TEST(CpuBoardCode, AMissingEntryPointGivesCodeZeroAndLeavesTheText)
{
    DeviceInterface device;
    DWORD code = 99;
    CpuBoardText text;
    wcscpy_s(text.text, L"old text");
    EXPECT_EQ(0, CpuBoardCode(device, &code, text));
    EXPECT_EQ(0u, code);
    EXPECT_STREQ(L"old text", text.text);
    EXPECT_EQ(0, IsCpuBoard(device, 0));
}

TEST(IsCpuBoard, TellsWhetherTheBoardHasTheCode)
{
    ScopedProfile profile(R"({"IxaGetHardwareStringW": {"16": {"wstr": "KTB2 rev 3"}}})");
    DeviceInterface device;
    device.Load();
    EXPECT_EQ(1, IsCpuBoard(device, 2));
    EXPECT_EQ(0, IsCpuBoard(device, 3));
    EXPECT_EQ(0, IsCpuBoard(device, 0));
}

// A stand-in for IxaGetHardwareValue that records how it was asked.
UINT g_selector = 0;
UINT g_size = 0;
bool g_valueSucceeds = true;

int WINAPI FakeHardwareValue(UINT selector, void* buffer, UINT size)
{
    g_selector = selector;
    g_size = size;
    if (!g_valueSucceeds) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *static_cast<DWORD*>(buffer) = 0x0A0B0C0D;
    return 1;
}

TEST(GetHardwareValue58, ReadsSelector58AsOne32BitValue)
{
    DeviceInterface device;
    device.IxaGetHardwareValue = FakeHardwareValue;
    g_valueSucceeds = true;
    EXPECT_EQ(0x0A0B0C0Du, GetHardwareValue58(device));
    EXPECT_EQ(58u, g_selector);
    EXPECT_EQ(4u, g_size);
}

TEST(GetHardwareValue58, AFailingCallOrMissingEntryPointGivesZero)
{
    DeviceInterface device;
    EXPECT_EQ(0u, GetHardwareValue58(device));
    device.IxaGetHardwareValue = FakeHardwareValue;
    g_valueSucceeds = false;
    EXPECT_EQ(0u, GetHardwareValue58(device));
}

TEST(GetHardwareValue58, ReadsTheValueFromTheLibrary)
{
    ScopedProfile profile(R"({"IxaGetHardwareValue": {"58": {"u32": "0xCAFE0042"}}})");
    DeviceInterface device;
    device.Load();
    EXPECT_EQ(0xCAFE0042u, GetHardwareValue58(device));
}

TEST(ReadFactory, MissingEntryPointsGiveZeroAndLeaveTheLastError)
{
    DeviceInterface device;
    unsigned char buffer[4] = {1, 2, 3, 4};
    wchar_t text[256] = L"old";
    ::SetLastError(1234);
    EXPECT_EQ(0, ReadFactoryValue(device, 21, buffer, sizeof buffer));
    EXPECT_EQ(0, ReadFactoryString(device, 21, text));
    EXPECT_EQ(1234u, ::GetLastError());
    EXPECT_EQ(1, buffer[0]);
    EXPECT_STREQ(L"old", text);
}

TEST(ReadFactory, PassesSelectorAndSizeToTheLibrary)
{
    ScopedProfile profile(R"({"IxaGetFactoryValue": {"21": {"u16": 513}}, "IxaGetFactoryStringW": {"7": {"wstr": "SN-1"}}})");
    DeviceInterface device;
    device.Load();
    unsigned char buffer[2] = {};
    wchar_t text[256] = {};
    EXPECT_EQ(1, ReadFactoryValue(device, 21, buffer, sizeof buffer));
    EXPECT_EQ(1, ReadFactoryString(device, 7, text));
    EXPECT_EQ(1, buffer[0]);
    EXPECT_EQ(2, buffer[1]);
    EXPECT_STREQ(L"SN-1", text);
    EXPECT_EQ((std::vector<std::string>{"IxaGetFactoryStringW(7, 512) = 1 [0]"}), profile.Calls("IxaGetFactoryStringW"));
}

}  // namespace
}  // namespace kv
