// The module data blocks against the simulated device library: whole test lines
// as the report holds them, and the library calls that produced them.
#include "report_file.h"

#include "device/text_helpers.h"
#include "groups/group_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

// A group object that only runs the blocks it is asked to.
class BlockGroup : public CTest {
public:
    using CTest::CTest;
    void RunTests() override {}
    using CTest::IsModulePresent;
    using CTest::WriteFactorySettings;
    using CTest::WriteFirmwareInfo;
    using CTest::WriteSensorTemperature;
    using CTest::WriteSensorTemperatures;
    using CTest::WriteStatistics;
    using CTest::WriteStatistics16;
    using CTest::WriteStatisticsCounter;
    DeviceInterface& Device() { return m_device; }
};

const std::wstring kT6(6, L'\t');
const std::wstring kT7(7, L'\t');

std::wstring Escaped(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'"': out += L"&quot;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

// The lines of one test as the writer puts them; a result holding CR LF spans lines.
std::vector<std::wstring> TestLines(const std::wstring& name, const std::wstring& description, int number,
                                    const std::wstring& result, const std::wstring& format,
                                    const std::wstring& status = L"Passed")
{
    std::wstring text = kT6 + L"<Test>\r\n" + kT7 + L"<TestName>" + Escaped(name) + L"</TestName>\r\n" + kT7 +
                        L"<TestDescription>" + Escaped(description.empty() ? L"DescrUndef" : description) +
                        L"</TestDescription>\r\n" + kT7 + L"<TestNumber>" + std::to_wstring(number) +
                        L"</TestNumber>\r\n" + kT7 + L"<TestResult Format=\"" + format + L"\">" + Escaped(result) +
                        L"</TestResult>\r\n" + kT7 + L"<TestStatus>" + status + L"</TestStatus>\r\n" + kT6 +
                        L"</Test>\r\n";
    return SplitLines(text);
}

void Append(std::vector<std::wstring>& lines, const std::vector<std::wstring>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

std::wstring ErrorText(DWORD code) { return SystemErrorText(code); }

// A dump laid out by hand: a line break before every 16 bytes, two digits each.
std::wstring Dump(const std::vector<unsigned char>& bytes)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0)
            text += L"\r\n";
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

// Each test runs the blocks against its own profile and trace; the library is
// loaded by the group object and freed with it, so every test reads its profile.
class ModuleBlocks : public ::testing::Test {
protected:
    // Starts a group on the given profile (JSON text).
    std::unique_ptr<BlockGroup> Group(const std::string& profile)
    {
        m_profile.reset();
        m_profile = std::make_unique<ScopedProfile>(profile);
        m_writer.file = m_report.handle();
        auto group = std::make_unique<BlockGroup>(&m_writer);
        EXPECT_TRUE(group->Device().IsLoaded());
        return group;
    }

    std::vector<std::wstring> Lines() const { return m_report.Lines(); }

    // Trace lines of one entry point: "IxaGetFactoryValue(84, 128) = 1 [0]".
    std::vector<std::string> Calls(const std::string& entryPoint) const { return m_profile->Calls(entryPoint); }

    std::unique_ptr<ScopedProfile> m_profile;
    TempReport m_report;
    ReportWriter m_writer;
};

const char kBusUnitProfile[] = R"({
  "IxaGetDeviceType": {"u32": 18},
  "IxaGetFactoryValue": {
    "93": {"wstr": "V1.02"},
    "87": {"u32": 0},
    "85": {"u32": "0x0000C3C0"},
    "86": {"u16": "0x00A1"},
    "91": {"u32": "0xFFFFFFFF"},
    "92": {"u16": "0xFFFF"},
    "88": {"wstr": "A1"},
    "94": {"hex": "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 0F", "fill": 255}
  },
  "IxaGetFactoryStringW": {
    "89": {"wstr": "E9B70188530\n"},
    "90": {"wstr": "KV-BU<4>&\"S\""}
  }
})";

TEST_F(ModuleBlocks, TextLabelledSetWritesTheTenTestsInReportOrder)
{
    auto group = Group(kBusUnitProfile);
    group->WriteFactorySettings(kBusUnitSelectors, L"Complete factory settings of bus unit.");

    std::vector<unsigned char> raw = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                      0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x0F};
    raw.resize(256, 0xFF);
    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"Version", L"", 1, L"V1.02", L"String"));
    Append(expected, TestLines(L"Vendor ID", L"Kavrol = 0.", 2, L"00000000", L"Hex"));
    Append(expected, TestLines(L"Device ID", L"", 3, L"0000C3C0", L"Hex"));
    Append(expected, TestLines(L"Compatibility ID",
                               L"The compatibility ID is used to recognize hardware changes that are important "
                               L"for device specific software.",
                               4, L"00A1", L"Hex"));
    Append(expected, TestLines(L"Parent Device ID",
                               L"The parent device ID indicates the device, from which the actual device was "
                               L"derived (e.g. at a customer specific variant of a standard device). FFFFFFFFh "
                               L"means no parent.",
                               5, L"FFFFFFFF", L"Hex"));
    Append(expected, TestLines(L"Parent Compatibility ID",
                               L"The compatibility ID indicates the device, from which the actual device was "
                               L"derived (e.g. at a customer specific variant of a standard device). FFFFh means "
                               L"no parent.",
                               6, L"FFFF", L"Hex"));
    Append(expected, TestLines(L"Hardware revision", L"", 7, L"A1", L"String"));
    Append(expected, TestLines(L"Serial number", L"", 8, L"E9B70188530", L"String"));
    Append(expected, TestLines(L"Model number", L"", 9, L"KV-BU<4>&\"S\"", L"String"));
    Append(expected, TestLines(L"Raw data", L"Complete factory settings of bus unit.", 10,
                               Dump(raw) + L"\r\n(remaining 768 bytes are FF)", L"Raw"));
    EXPECT_EQ(expected, Lines());
}

TEST_F(ModuleBlocks, TextLabelledSetReadsEachItemWithItsSelectorAndSize)
{
    auto group = Group(kBusUnitProfile);
    group->WriteFactorySettings(kBusUnitSelectors, L"Complete factory settings of bus unit.");

    const std::vector<std::string> values = {
        "IxaGetFactoryValue(93, 512) = 1 [0]", "IxaGetFactoryValue(87, 4) = 1 [0]",
        "IxaGetFactoryValue(85, 4) = 1 [0]",   "IxaGetFactoryValue(86, 2) = 1 [0]",
        "IxaGetFactoryValue(91, 4) = 1 [0]",   "IxaGetFactoryValue(92, 2) = 1 [0]",
        "IxaGetFactoryValue(88, 512) = 1 [0]", "IxaGetFactoryValue(94, 1024) = 1 [0]",
    };
    EXPECT_EQ(values, Calls("IxaGetFactoryValue"));
    const std::vector<std::string> strings = {"IxaGetFactoryStringW(89, 512) = 1 [0]",
                                              "IxaGetFactoryStringW(90, 512) = 1 [0]"};
    EXPECT_EQ(strings, Calls("IxaGetFactoryStringW"));
}

TEST_F(ModuleBlocks, FailedFactoryItemsBecomeFailedTestsWithTheSystemText)
{
    auto group = Group(R"({
      "IxaGetFactoryValue": {"133": {"error": 5}, "127": {"u16": 1}},
      "IxaGetFactoryStringW": {"129": {"error": 1}}
    })");
    group->WriteFactorySettings(kCaseFanKitSelectors, L"Complete factory settings of fan kit.");

    const std::vector<std::wstring> lines = Lines();
    ASSERT_EQ(70u, lines.size());
    // Version: error 5; Vendor ID: a 16-bit answer to a 4-byte read (87); Device ID: no answer (87).
    EXPECT_EQ(kT7 + L"<TestResult Format=\"String\">" + Escaped(ErrorText(5)) + L"</TestResult>", lines[4]);
    EXPECT_EQ(kT7 + L"<TestStatus>Failed</TestStatus>", lines[5]);
    EXPECT_EQ(kT7 + L"<TestResult Format=\"String\">" + Escaped(ErrorText(87)) + L"</TestResult>", lines[11]);
    EXPECT_EQ(kT7 + L"<TestResult Format=\"String\">" + Escaped(ErrorText(87)) + L"</TestResult>", lines[18]);
    // Serial number: error 1.
    EXPECT_EQ(kT7 + L"<TestResult Format=\"String\">" + Escaped(ErrorText(1)) + L"</TestResult>", lines[53]);
    EXPECT_EQ(kT7 + L"<TestStatus>Failed</TestStatus>", lines[54]);
    EXPECT_EQ(kT7 + L"<TestName>Raw data</TestName>", lines[64]);
    EXPECT_EQ(kT7 + L"<TestStatus>Failed</TestStatus>", lines[68]);
}

TEST_F(ModuleBlocks, SlideInSetUsesTheSlotsSelectorsAndDescriptions)
{
    auto group = Group(R"({
      "IxaGetFactoryValue": {
        "153": {"wstr": "V2.00"}, "147": {"u32": 0}, "145": {"u32": "0x0000E120"}, "146": {"u16": 2},
        "151": {"u32": "0x0000E100"}, "152": {"u16": 1}, "148": {"wstr": "B0"},
        "154": {"hex": "AB", "length": 512, "fill": 0}
      },
      "IxaGetFactoryStringW": {"149": {"wstr": "S-2"}, "150": {"wstr": "KV-SSD"}}
    })");
    group->WriteFactorySettings(SlideInSlot{2});

    std::vector<unsigned char> raw(512, 0);
    raw[0] = 0xAB;
    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"Version", L"Factory settings version of slide-in drive.", 1, L"V2.00", L"String"));
    Append(expected, TestLines(L"Vendor ID", L"Vendor ID of slide-in drive. Kavrol = 0.", 2, L"00000000", L"Hex"));
    Append(expected, TestLines(L"Device ID", L"Device ID of slide-in drive.", 3, L"0000E120", L"Hex"));
    Append(expected, TestLines(L"Compatibility ID",
                               L"Compatibility ID of slide-in drive. The compatibility ID is used to recognize "
                               L"hardware changes that are important for device specific software.",
                               4, L"0002", L"Hex"));
    Append(expected, TestLines(L"Parent Device ID",
                               L"Parent device ID of slide-in drive. The parent device ID indicates the device, "
                               L"from which the actual device was derived (e.g. at a customer specific variant of "
                               L"a standard device). FFFFFFFFh means no parent.",
                               5, L"0000E100", L"Hex"));
    Append(expected, TestLines(L"Parent Compatibility ID",
                               L"Parent compatibility ID of slide-in drive. The compatibility ID indicates the "
                               L"device, from which the actual device was derived (e.g. at a customer specific "
                               L"variant of a standard device). FFFFh means no parent.",
                               6, L"0001", L"Hex"));
    Append(expected, TestLines(L"Hardware revision", L"Hardware revision of slide-in drive.", 7, L"B0", L"String"));
    Append(expected, TestLines(L"Serial number", L"Serial number of slide-in drive.", 8, L"S-2", L"String"));
    Append(expected, TestLines(L"Model number", L"Model number of slide-in drive.", 9, L"KV-SSD", L"String"));
    Append(expected, TestLines(L"Raw data", L"Complete factory settings of slide-in drive.", 10, Dump(raw), L"Raw"));
    EXPECT_EQ(expected, Lines());
    EXPECT_EQ("IxaGetFactoryValue(154, 512) = 1 [0]", Calls("IxaGetFactoryValue").back());
}

TEST_F(ModuleBlocks, SlotNumbersOtherThanOneAndTwoWriteNothing)
{
    auto group = Group(kBusUnitProfile);
    group->WriteFactorySettings(SlideInSlot{3});
    group->WriteFactorySettings(SlideInSlot{0});
    group->WriteFactorySettings(IfBoardSlot{3}, L"Complete factory settings of IF Board.");
    group->WriteFactorySettings(MemoryModule{3});
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(Calls("IxaGetFactoryValue").empty());
    EXPECT_TRUE(Calls("IxaGetFactoryStringW").empty());
}

TEST_F(ModuleBlocks, IfBoardSlotTwoReadsTheSecondSlotsBlock)
{
    auto group = Group(R"({"IxaGetFactoryValue": {"114": {"hex": "01", "fill": 255}}})");
    group->WriteFactorySettings(IfBoardSlot{2}, L"Complete factory settings of IF Board.");

    const std::vector<std::string> values = {
        "IxaGetFactoryValue(113, 512) = 0 [87]", "IxaGetFactoryValue(107, 4) = 0 [87]",
        "IxaGetFactoryValue(105, 4) = 0 [87]",   "IxaGetFactoryValue(106, 2) = 0 [87]",
        "IxaGetFactoryValue(111, 4) = 0 [87]",   "IxaGetFactoryValue(112, 2) = 0 [87]",
        "IxaGetFactoryValue(108, 512) = 0 [87]", "IxaGetFactoryValue(114, 1024) = 1 [0]",
    };
    EXPECT_EQ(values, Calls("IxaGetFactoryValue"));
    const std::vector<std::wstring> lines = Lines();
    ASSERT_GT(lines.size(), 65u);
    EXPECT_EQ(kT7 + L"<TestName>Raw data</TestName>", lines[64]);
    EXPECT_EQ(kT7 + L"<TestDescription>Complete factory settings of IF Board.</TestDescription>", lines[65]);
}

// Memory modules: the device type decides on "Version" and on the raw-data size.
std::string MemoryProfile(int deviceType)
{
    return R"({
      "IxaGetDeviceType": {"u32": )" + std::to_string(deviceType) + R"(},
      "IxaGetFactoryValue": {
        "80": {"wstr": "V1.0"}, "71": {"u32": 0}, "69": {"u32": "0x0000D110"}, "70": {"u16": 1},
        "75": {"u32": "0xFFFFFFFF"}, "76": {"u16": "0xFFFF"},
        "84": {"hex": "5A", "fill": 165},
        "123": {"wstr": "V2.0"}, "117": {"u32": 0}, "115": {"u32": "0x0000D111"}, "116": {"u16": 2},
        "121": {"u32": "0xFFFFFFFF"}, "122": {"u16": "0xFFFF"},
        "124": {"hex": "5B", "fill": 165}
      },
      "IxaGetFactoryStringW": {
        "72": {"wstr": "A0"}, "73": {"wstr": "M1"}, "74": {"wstr": "KV-MEM-1"},
        "118": {"wstr": "A2"}, "119": {"wstr": "M2"}, "120": {"wstr": "KV-MEM-2"}
      }
    })";
}

std::vector<std::wstring> MemoryModuleLines(int firstNumber, bool withVersion, const std::wstring& version,
                                            const std::wstring& deviceId, const std::wstring& compatibility,
                                            const std::wstring& revision, const std::wstring& serial,
                                            const std::wstring& model, const std::wstring& raw)
{
    int n = firstNumber;
    std::vector<std::wstring> lines;
    if (withVersion)
        Append(lines, TestLines(L"Version", L"", n++, version, L"String"));
    Append(lines, TestLines(L"Vendor ID", L"Kavrol = 0.", n++, L"00000000", L"Hex"));
    Append(lines, TestLines(L"Device ID", L"", n++, deviceId, L"Hex"));
    Append(lines, TestLines(L"Compatibility ID",
                            L"The compatibility ID is used to recognize hardware changes that are important for "
                            L"device-specific software.",
                            n++, compatibility, L"Hex"));
    Append(lines, TestLines(L"Parent Device ID",
                            L"The parent device ID indicates the device from which the current device was derived "
                            L"(e.g. for a customer specific variant of a standard device). FFFFFFFFh indicates that "
                            L"there is no parent.",
                            n++, L"FFFFFFFF", L"Hex"));
    Append(lines, TestLines(L"Parent Compatibility ID",
                            L"The compatibility ID indicates the device from which the current device was derived "
                            L"(e.g. for a customer specific variant of a standard device). FFFFh indicates that "
                            L"there is no parent.",
                            n++, L"FFFF", L"Hex"));
    Append(lines, TestLines(L"Hardware revision", L"", n++, revision, L"String"));
    Append(lines, TestLines(L"Serial number", L"", n++, serial, L"String"));
    Append(lines, TestLines(L"Model number", L"", n++, model, L"String"));
    if (!raw.empty())
        Append(lines, TestLines(L"Raw data", L"Complete factory settings", n++, raw, L"Raw"));
    return lines;
}

std::wstring FilledDump(unsigned char first, size_t size)
{
    std::vector<unsigned char> bytes(size, 0xA5);
    bytes[0] = first;
    return Dump(bytes);
}

TEST_F(ModuleBlocks, MemoryModuleOneOnC90WritesTenTestsWithA128ByteDump)
{
    auto group = Group(MemoryProfile(18));
    group->WriteFactorySettings(MemoryModule{1});
    EXPECT_EQ(MemoryModuleLines(1, true, L"V1.0", L"0000D110", L"0001", L"A0", L"M1", L"KV-MEM-1",
                                FilledDump(0x5A, 128)),
              Lines());
    EXPECT_EQ("IxaGetFactoryValue(84, 128) = 1 [0]", Calls("IxaGetFactoryValue").back());
    // The hardware revision of a memory module is a factory string.
    EXPECT_EQ("IxaGetFactoryStringW(72, 512) = 1 [0]", Calls("IxaGetFactoryStringW").front());
}

TEST_F(ModuleBlocks, MemoryModuleOneOnP91LeavesOutVersionAndRawData)
{
    auto group = Group(MemoryProfile(19));
    group->WriteFactorySettings(MemoryModule{1});
    EXPECT_EQ(MemoryModuleLines(1, false, L"", L"0000D110", L"0001", L"A0", L"M1", L"KV-MEM-1", L""), Lines());
    for (const std::string& call : Calls("IxaGetFactoryValue")) {
        EXPECT_EQ(std::string::npos, call.find("(80,")) << call;
        EXPECT_EQ(std::string::npos, call.find("(84,")) << call;
    }
}

TEST_F(ModuleBlocks, MemoryModuleOneDumps512BytesOnV70C80AndC81)
{
    for (int type : {15, 16, 17}) {
        SCOPED_TRACE(type);
        {
            auto group = Group(MemoryProfile(type));
            m_writer.testCounter = 0;
            group->WriteFactorySettings(MemoryModule{1});
        }
        const std::vector<std::wstring> expected = MemoryModuleLines(
            1, true, L"V1.0", L"0000D110", L"0001", L"A0", L"M1", L"KV-MEM-1", FilledDump(0x5A, 512));
        const std::vector<std::wstring> lines = Lines();
        ASSERT_GE(lines.size(), expected.size());
        EXPECT_EQ(expected, std::vector<std::wstring>(lines.end() - expected.size(), lines.end()));
        EXPECT_EQ("IxaGetFactoryValue(84, 512) = 1 [0]", Calls("IxaGetFactoryValue").back());
    }
}

TEST_F(ModuleBlocks, MemoryModuleOneOnOtherDevicesHasNoRawData)
{
    auto group = Group(MemoryProfile(20));
    group->WriteFactorySettings(MemoryModule{1});
    EXPECT_EQ(MemoryModuleLines(1, true, L"V1.0", L"0000D110", L"0001", L"A0", L"M1", L"KV-MEM-1", L""), Lines());
}

TEST_F(ModuleBlocks, MemoryModuleTwoDumps128BytesExceptOnP91)
{
    {
        auto group = Group(MemoryProfile(18));
        group->WriteFactorySettings(MemoryModule{2});
        EXPECT_EQ(MemoryModuleLines(1, true, L"V2.0", L"0000D111", L"0002", L"A2", L"M2", L"KV-MEM-2",
                                    FilledDump(0x5B, 128)),
                  Lines());
        EXPECT_EQ("IxaGetFactoryValue(124, 128) = 1 [0]", Calls("IxaGetFactoryValue").back());
    }
    TempReport second;
    {
        auto group = Group(MemoryProfile(19));
        m_writer.file = second.handle();
        m_writer.testCounter = 0;
        group->WriteFactorySettings(MemoryModule{2});
    }
    EXPECT_EQ(MemoryModuleLines(1, false, L"", L"0000D111", L"0002", L"A2", L"M2", L"KV-MEM-2", L""),
              second.Lines());
}

TEST_F(ModuleBlocks, MemoryModuleFormReadsTheDeviceTypeOnlyOnce)
{
    auto group = Group(MemoryProfile(18));
    group->WriteFactorySettings(MemoryModule{1});
    group->WriteFactorySettings(MemoryModule{2});
    EXPECT_EQ(1u, Calls("IxaGetDeviceType").size());
}

// Counters.
TEST_F(ModuleBlocks, StatisticsRetryAs16BitAfterError87)
{
    auto group = Group(R"({"IxaGetStatisticsValue": {"11": {"u16": 513}, "12": {"u32": 4000000000}}})");
    group->WriteStatistics(kBusUnitStatistics);

    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"Power-on cycles", L"", 1, L"513", L"Dec"));
    Append(expected, TestLines(L"Power-on hours", L"", 2, L"4000000000", L"Dec"));
    EXPECT_EQ(expected, Lines());
    const std::vector<std::string> calls = {
        "IxaGetStatisticsValue(11, 4) = 0 [87]",
        "IxaGetStatisticsValue(11, 2) = 1 [0]",
        "IxaGetStatisticsValue(12, 4) = 1 [0]",
    };
    EXPECT_EQ(calls, Calls("IxaGetStatisticsValue"));
}

TEST_F(ModuleBlocks, StatisticsOtherErrorsAreNotRetried)
{
    auto group = Group(R"({"IxaGetStatisticsValue": {"17": {"error": 5}, "2": {"error": 87}}})");
    group->WriteStatistics(kCaseFanKitStatistics);

    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"Fan-on cycles", L"", 1, ErrorText(5), L"String", L"Failed"));
    Append(expected, TestLines(L"Fan-on hours", L"", 2, ErrorText(87), L"String", L"Failed"));
    EXPECT_EQ(expected, Lines());
    const std::vector<std::string> calls = {
        "IxaGetStatisticsValue(17, 4) = 0 [5]",
        "IxaGetStatisticsValue(2, 4) = 0 [87]",
        "IxaGetStatisticsValue(2, 2) = 0 [87]",
    };
    EXPECT_EQ(calls, Calls("IxaGetStatisticsValue"));
}

TEST_F(ModuleBlocks, StatisticsCounterCarriesItsDescription)
{
    auto group = Group(R"({"IxaGetStatisticsValue": {"19": {"u32": 12}}})");
    group->WriteStatisticsCounter(L"On-battery hours", L"Battery operation hours ", 19);
    EXPECT_EQ(TestLines(L"On-battery hours", L"Battery operation hours ", 1, L"12", L"Dec"), Lines());
}

TEST_F(ModuleBlocks, StatisticsWithoutEntryPointFailWithoutAnyRead)
{
    auto group = Group(R"({"IxaGetStatisticsValue": {"default": {"u32": 1}}})");
    group->Device().IxaGetStatisticsValue = nullptr;
    group->WriteStatistics(kBusFanKitStatistics);
    group->WriteStatistics16(kIoBoardStatistics);

    const std::vector<std::wstring> lines = Lines();
    ASSERT_EQ(28u, lines.size());
    for (size_t test = 0; test < 4; ++test) {
        EXPECT_EQ(0u, lines[test * 7 + 4].find(kT7 + L"<TestResult Format=\"String\">")) << test;
        EXPECT_EQ(kT7 + L"<TestStatus>Failed</TestStatus>", lines[test * 7 + 5]) << test;
    }
    EXPECT_TRUE(Calls("IxaGetStatisticsValue").empty());
}

TEST_F(ModuleBlocks, Statistics16ReadsTwoBytesOnceWhateverTheError)
{
    auto group = Group(R"({"IxaGetStatisticsValue": {"9": {"u16": 65535}, "10": {"u32": 7}}})");
    group->WriteStatistics16(kIoBoardStatistics);

    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"Power-on cycles", L"", 1, L"65535", L"Dec"));
    Append(expected, TestLines(L"Power-on hours", L"", 2, ErrorText(87), L"String", L"Failed"));
    EXPECT_EQ(expected, Lines());
    const std::vector<std::string> calls = {"IxaGetStatisticsValue(9, 2) = 1 [0]",
                                            "IxaGetStatisticsValue(10, 2) = 0 [87]"};
    EXPECT_EQ(calls, Calls("IxaGetStatisticsValue"));
}

// Firmware.
TEST_F(ModuleBlocks, FirmwareInfoWritesVersionAndHighBootArea)
{
    auto group = Group(R"({
      "IxaGetFirmwareStringW": {"24": {"wstr": "FPGA 3.14\n"}},
      "IxaGetFirmwareValue": {"32": {"u32": 1}}
    })");
    group->WriteFirmwareInfo(kDisplayLinkFirmware);

    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"FPGA firmware version", L"", 1, L"FPGA 3.14", L"String"));
    Append(expected, TestLines(L"Boot mode", L"", 2, L"High area", L"String"));
    EXPECT_EQ(expected, Lines());
    EXPECT_EQ(std::vector<std::string>{"IxaGetFirmwareStringW(24, 512) = 1 [0]"}, Calls("IxaGetFirmwareStringW"));
    EXPECT_EQ(std::vector<std::string>{"IxaGetFirmwareValue(32, 4) = 1 [0]"}, Calls("IxaGetFirmwareValue"));
}

TEST_F(ModuleBlocks, BootAreaValuesOtherThanOneAreTheLowArea)
{
    for (const char* value : {"0", "2"}) {
        SCOPED_TRACE(value);
        TempReport report;
        {
            auto group = Group(std::string(R"({"IxaGetFirmwareValue": {"31": {"u32": )") + value + "}}}");
            m_writer.file = report.handle();
            m_writer.testCounter = 0;
            group->WriteFirmwareInfo(kIoBoardFirmware);
        }
        std::vector<std::wstring> expected;
        Append(expected, TestLines(L"FPGA firmware version", L"", 1, ErrorText(87), L"String", L"Failed"));
        Append(expected, TestLines(L"Boot mode", L"", 2, L"Low area", L"String"));
        EXPECT_EQ(expected, report.Lines());
    }
}

TEST_F(ModuleBlocks, BootAreaCallReturningTwoIsAFailure)
{
    auto group = Group(R"({"IxaGetFirmwareValue": {"31": {"u32": 1, "return": 2}}})");
    group->WriteFirmwareInfo(kIoBoardFirmware);
    const std::vector<std::wstring> lines = Lines();
    ASSERT_EQ(14u, lines.size());
    std::vector<std::wstring> bootMode(lines.begin() + 7, lines.end());
    EXPECT_EQ(TestLines(L"Boot mode", L"", 2, ErrorText(0), L"String", L"Failed"), bootMode);
}

// Temperatures.
TEST_F(ModuleBlocks, SensorsAreSignedWithAlarmFlagsAndUnreadableOnesLeftOut)
{
    auto group = Group(R"({
      "IxaGetTemperature": {"35": {"i8": -10}, "37": {"u8": 65}, "38": {"i8": 0}},
      "IxaGetAlarm": {"35": {"u32": 0}, "36": {"u32": 1}, "37": {"u32": 4}, "38": {"error": 5}}
    })");
    group->WriteSensorTemperatures(kDisplayLinkSensors);

    std::vector<std::wstring> expected;
    Append(expected, TestLines(L"Sensor 1", L"", 1, L"-10", L"DegreeCentigrade"));
    Append(expected, TestLines(L"Sensor 3", L"", 2, L"65", L"DegreeCentigrade", L"Alarm"));
    Append(expected, TestLines(L"Sensor 4", L"", 3, L"0", L"DegreeCentigrade"));
    EXPECT_EQ(expected, Lines());
    const std::vector<std::string> temperatures = {
        "IxaGetTemperature(35, 1) = 1 [0]", "IxaGetTemperature(36, 1) = 0 [87]",
        "IxaGetTemperature(37, 1) = 1 [0]", "IxaGetTemperature(38, 1) = 1 [0]"};
    EXPECT_EQ(temperatures, Calls("IxaGetTemperature"));
    // No alarm is read for a sensor whose temperature is unreadable.
    const std::vector<std::string> alarms = {"IxaGetAlarm(35, 4) = 1 [0]", "IxaGetAlarm(37, 4) = 1 [0]",
                                             "IxaGetAlarm(38, 4) = 0 [5]"};
    EXPECT_EQ(alarms, Calls("IxaGetAlarm"));
}

TEST_F(ModuleBlocks, SensorsWithoutAlarmSelectorReadNoAlarm)
{
    auto group = Group(R"({
      "IxaGetTemperature": {"default": {"u8": 246}},
      "IxaGetAlarm": {"default": {"u32": 1}}
    })");
    group->WriteSensorTemperatures(kIoBoardSensors);

    std::vector<std::wstring> expected;
    for (int sensor = 1; sensor <= 4; ++sensor)
        Append(expected, TestLines(L"Sensor " + std::to_wstring(sensor), L"", sensor, L"-10", L"DegreeCentigrade"));
    EXPECT_EQ(expected, Lines());
    EXPECT_EQ(4u, Calls("IxaGetTemperature").size());
    EXPECT_EQ("IxaGetTemperature(34, 1) = 1 [0]", Calls("IxaGetTemperature").back());
    EXPECT_TRUE(Calls("IxaGetAlarm").empty());
}

TEST_F(ModuleBlocks, SingleSensorCarriesLabelAndDescription)
{
    auto group = Group(R"({"IxaGetTemperature": {"4": {"u8": 45}}, "IxaGetAlarm": {"3": {"u32": 2}}})");
    group->WriteSensorTemperature(kSlideInDrive2Sensor.temperatureSelector, kSlideInDrive2Sensor.alarmSelector,
                                  L"Slide-in drive 2", L"Temperature of slide-in drive.");
    group->WriteSensorTemperature(3, 2, L"Slide-in drive 1", L"Temperature of slide-in drive.");

    EXPECT_EQ(TestLines(L"Slide-in drive 2", L"Temperature of slide-in drive.", 1, L"45", L"DegreeCentigrade",
                        L"Alarm"),
              Lines());
    EXPECT_EQ(std::vector<std::string>{"IxaGetAlarm(3, 4) = 1 [0]"}, Calls("IxaGetAlarm"));
}

TEST_F(ModuleBlocks, SensorsWithoutTemperatureEntryPointWriteNothing)
{
    auto group = Group(R"({"IxaGetTemperature": {"default": {"u8": 20}}})");
    group->Device().IxaGetTemperature = nullptr;
    group->WriteSensorTemperatures(kCpuBoardSensors);
    EXPECT_TRUE(Lines().empty());
}

// 512 bytes of wide text without a terminator.
std::string UnterminatedText(const char* character)
{
    std::string hex;
    for (int i = 0; i < 256; ++i)
        hex += std::string(i ? " " : "") + character + " 00";
    return R"({"hex": ")" + hex + R"("})";
}

TEST_F(ModuleBlocks, TextsFillingTheWholeBufferEndWithIt)
{
    auto group = Group(R"({"IxaGetFactoryValue": {"93": )" + UnterminatedText("41") +
                       R"(}, "IxaGetFactoryStringW": {"89": )" + UnterminatedText("42") +
                       R"(}, "IxaGetFirmwareStringW": {"24": )" + UnterminatedText("43") + "}}");
    group->WriteFactorySettings(kBusUnitSelectors, L"Complete factory settings of bus unit.");
    group->WriteFirmwareInfo(kDisplayLinkFirmware);

    const std::vector<std::wstring> lines = Lines();
    ASSERT_EQ(84u, lines.size());
    const auto result = [](wchar_t c) { return kT7 + L"<TestResult Format=\"String\">" + std::wstring(256, c) +
                                               L"</TestResult>"; };
    EXPECT_EQ(result(L'A'), lines[4]);    // Version
    EXPECT_EQ(result(L'B'), lines[53]);   // Serial number
    EXPECT_EQ(result(L'C'), lines[74]);   // FPGA firmware version
}

TEST_F(ModuleBlocks, SensorSubCategoryOpensBeforeTheFirstReadableSensorOnly)
{
    auto group = Group(R"({"IxaGetTemperature": {"28": {"i8": -3}, "30": {"u8": 41}},
                           "IxaGetAlarm": {"default": {"u32": 1}}})");
    group->WriteSensorTemperatures(kIfBoardSensors, L"Temperatures");
    group->WriteSensorTemperatures(ModuleSensors{40, kNoAlarmSelector}, L"Never opened");

    std::vector<std::wstring> expected = {L"\t\t\t<SubCategory>",
                                          L"\t\t\t\t<SubCategoryName>Temperatures</SubCategoryName>"};
    Append(expected, TestLines(L"Sensor 2", L"", 1, L"-3", L"DegreeCentigrade"));
    Append(expected, TestLines(L"Sensor 4", L"", 2, L"41", L"DegreeCentigrade"));
    EXPECT_EQ(expected, Lines());
    EXPECT_EQ(1, m_writer.subCategoryOpen);
    EXPECT_EQ(8u, Calls("IxaGetTemperature").size());
    EXPECT_TRUE(Calls("IxaGetAlarm").empty());
}

TEST_F(ModuleBlocks, ModuleIsPresentOnlyWhenItsValueReadsNonzero)
{
    auto group = Group(R"({"IxaGetHardwareValue": {"57": {"u32": 2}, "59": {"u32": 0}, "61": {"error": 31},
                           "62": {"u16": 1}}})");
    EXPECT_TRUE(group->IsModulePresent(57));
    EXPECT_FALSE(group->IsModulePresent(59));
    EXPECT_FALSE(group->IsModulePresent(61));
    EXPECT_FALSE(group->IsModulePresent(62));  // a 2-byte answer to the 4-byte read fails
    const std::vector<std::string> calls = {
        "IxaGetHardwareValue(57, 4) = 1 [0]", "IxaGetHardwareValue(59, 4) = 1 [0]",
        "IxaGetHardwareValue(61, 4) = 0 [31]", "IxaGetHardwareValue(62, 4) = 0 [87]"};
    EXPECT_EQ(calls, Calls("IxaGetHardwareValue"));
    group->Device().IxaGetHardwareValue = nullptr;
    EXPECT_FALSE(group->IsModulePresent(57));
}

// The raw-data sizes of the modules: trailing FF bytes beyond the first 256 are
// summarised, never the first 256 themselves.
struct RawDataCase {
    size_t size;
    size_t trailingFF;
    size_t shown;
    const wchar_t* remark;  // null: none
};

const RawDataCase kRawDataCases[] = {
    {256, 100, 256, nullptr},
    {384, 100, 284, L"(remaining 100 bytes are FF)"},
    {384, 200, 256, L"(remaining 128 bytes are FF)"},
    {512, 0, 512, nullptr},
    {512, 255, 257, L"(remaining 255 bytes are FF)"},
    {512, 300, 256, L"(remaining 256 bytes are FF)"},
    {1024, 10, 1014, L"(remaining 10 bytes are FF)"},
    {1024, 1000, 256, L"(remaining 768 bytes are FF)"},
};

TEST(ModuleRawData, DumpsOfTheModuleSizesKeepTheFirst256Bytes)
{
    for (const RawDataCase& c : kRawDataCases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, " + std::to_string(c.trailingFF) + " FF");
        std::vector<unsigned char> bytes(c.size - c.trailingFF, 0x3C);
        bytes.resize(c.size, 0xFF);
        std::wstring text;
        FormatRawData(bytes.data(), bytes.size(), text);
        std::wstring expected = Dump(std::vector<unsigned char>(bytes.begin(), bytes.begin() + c.shown));
        if (c.remark)
            expected += std::wstring(L"\r\n") + c.remark;
        EXPECT_EQ(expected, text);
    }
}

}  // namespace
}  // namespace kv
