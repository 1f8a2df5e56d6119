// What redact replaces, table by table: private values in their own fields, inside other
// texts (as path components, as words that are no common words), never when trivial;
// raw dumps always, or with --keep raw where they hold a private value in any form.
#include "report_builder.h"

#include "tools/kvreport/redactor.h"

#include <gtest/gtest.h>

namespace kvreport {
namespace {

struct Device {
    const wchar_t* computer = L"PC-SEVEN";
    const wchar_t* author = L"tech";
    const wchar_t* owner = L"Jane Doe";
    const wchar_t* userSerialId = L"00C90017h";
    const wchar_t* serial = L"E9D20177341";
};

// A report with the device's private values in their own places and text in a free text.
Report DeviceReport(const Device& device, const wchar_t* text, const wchar_t* raw = L"")
{
    Report report = MakeReport({
        {L"Operating System", L"Registration Details", L"CatUndef", L"Registered owner", device.owner},
        {L"General", L"User Settings", L"User Serial ID", L"Value", device.userSerialId},
        {L"General", L"Key Configuration", L"CatUndef", L"User information", text},
        {L"CPU Board", L"Factory Settings", L"CatUndef", L"Serial number", device.serial},
        {L"CPU Board", L"Factory Settings", L"CatUndef", L"Raw data", raw, L"Raw"},
    });
    report.header.computerName = device.computer;
    report.header.author = device.author;
    return report;
}

const ReportTest& TestAt(const Report& report, size_t index)
{
    std::vector<const ReportTest*> tests;
    ForEachTest(report, [&](auto&, auto&, auto&, const ReportTest& test) { tests.push_back(&test); });
    return *tests.at(index);
}

struct TextCase {
    Device device;
    const wchar_t* text;
    const wchar_t* redacted;
};

Device With(const wchar_t* computer, const wchar_t* author, const wchar_t* serial = L"E9D20177341")
{
    Device device;
    device.computer = computer;
    device.author = author;
    device.serial = serial;
    return device;
}

const TextCase kTexts[] = {
    // Path components of any length, words of five characters or more, any case.
    {Device(), L"C:\\Users\\tech\\pc-seven.log on PC-SEVEN (jane doe)",
     L"C:\\Users\\User-1\\Computer-1.log on Computer-1 (Owner-1)"},
    {With(L"PC1", L"tech"), L"\\\\PC1\\share\\tech.log on PC1", L"\\\\Computer-1\\share\\tech.log on PC1"},
    {With(L"HMI-LINE4-07", L"j.doe"), L"Station HMI-LINE4-07, ask J.Doe", L"Station Computer-1, ask User-1"},
    {Device(), L"C:/Users/tech/kv.log", L"C:/Users/User-1/kv.log"},
    // The names the program gives its reports.
    {With(L"PC1", L"tech"), L"D:\\KvInspectraPC1_2.xml, KvInspectraPC1.xsl", L"D:\\KvInspectraComputer-1_2.xml, KvInspectraComputer-1.xsl"},
    // A word of the report's own labels or a common word stays, but not in a path.
    {With(L"PANEL", L"tech"), L"Monitor/Panel", L"Monitor/Panel"},
    {With(L"PANEL", L"tech"), L"C:\\Kavrol\\Panel\\setup.ini", L"C:\\Kavrol\\Computer-1\\setup.ini"},
    {With(L"PC-SEVEN", L"operator"), L"Line 4 operator station", L"Line 4 operator station"},
    {With(L"PC-SEVEN", L"operator"), L"C:\\Users\\operator\\kv.log", L"C:\\Users\\User-1\\kv.log"},
    {With(L"Settings", L"tech"), L"Factory Settings saved", L"Factory Settings saved"},
    // Only whole words: a longer number or name keeps its part.
    {Device(), L"E9D20177341 and E9D20177341X", L"Serial-1 and E9D20177341X"},
    // Trivial values identify nothing.
    {With(L"PC-SEVEN", L"tech", L"1234"), L"part 1234, C:\\1234", L"part 1234, C:\\1234"},
    {With(L"PC-SEVEN", L"tech", L"FFFFFFFF"), L"C:\\FFFFFFFF", L"C:\\FFFFFFFF"},
};

TEST(Redaction, PrivateValuesInOtherTextsOnlyWhereTheyStandAlone)
{
    for (const TextCase& row : kTexts) {
        Report report = DeviceReport(row.device, row.text);
        Redactor(0).Redact(report);
        EXPECT_EQ(row.redacted, TestAt(report, 2).result) << row.text;
    }
}

struct FieldCase {
    unsigned keep;
    Device device;
    // header author and computer, then owner, User Serial ID, serial
    std::vector<std::wstring> redacted;
};

Device WithUserSerialId(const wchar_t* value)
{
    Device device;
    device.userSerialId = value;
    return device;
}

const FieldCase kFields[] = {
    {0, Device(), {L"User-1", L"Computer-1", L"Owner-1", L"UserSerialID-1", L"Serial-1"}},
    {kRedactSerial | kRedactComputer, Device(), {L"User-1", L"PC-SEVEN", L"Owner-1", L"UserSerialID-1", L"E9D20177341"}},
    {kRedactAuthor | kRedactOwner | kRedactUserSerialId, Device(),
     {L"tech", L"Computer-1", L"Jane Doe", L"00C90017h", L"Serial-1"}},
    // "not set", "N/A": nothing to hide.
    {0, WithUserSerialId(L"00000000h"), {L"User-1", L"Computer-1", L"Owner-1", L"00000000h", L"Serial-1"}},
    {0, WithUserSerialId(L"N/A"), {L"User-1", L"Computer-1", L"Owner-1", L"N/A", L"Serial-1"}},
};

TEST(Redaction, PrivateFieldsGetPlaceholdersUnlessKeptOrTrivial)
{
    for (const FieldCase& row : kFields) {
        Report report = DeviceReport(row.device, L"");
        Redactor(row.keep).Redact(report);
        std::vector<std::wstring> redacted = {report.header.author, report.header.computerName,
                                              TestAt(report, 0).result, TestAt(report, 1).result,
                                              TestAt(report, 3).result};
        EXPECT_EQ(row.redacted, redacted) << row.keep;
        EXPECT_EQ(L"Kavrol Inspectra V2.0 (redacted)", report.header.version);
    }
}

TEST(Redaction, OneValueOnePlaceholderAcrossReports)
{
    Redactor redactor(0);
    Device second;
    second.serial = L"E9D20177999";
    Report first = DeviceReport(Device(), L"E9D20177999");
    Report other = DeviceReport(second, L"E9D20177341");
    // A folder is learnt first: the second report's serial is found in the first one.
    redactor.Learn(first);
    redactor.Learn(other);
    EXPECT_EQ(6, redactor.Redact(first));
    EXPECT_EQ(6, redactor.Redact(other));
    EXPECT_EQ(L"Serial-1", TestAt(first, 3).result);
    EXPECT_EQ(L"Serial-2", TestAt(first, 2).result);
    EXPECT_EQ(L"Serial-2", TestAt(other, 3).result);
    EXPECT_EQ(L"Serial-1", TestAt(other, 2).result);
    EXPECT_EQ(L"String", TestAt(other, 3).format);
    redactor.Redact(other);
    EXPECT_EQ(L"Kavrol Inspectra V2.0 (redacted)", other.header.version);
}

// A dump of bytes as the program lays it out.
std::wstring Dump(const std::vector<unsigned char>& bytes)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0)
            text += L'\n';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::vector<unsigned char> Padded(std::vector<unsigned char> inside)
{
    std::vector<unsigned char> bytes = {0x55, 0xAA, 0x01, 0x02, 0x03};
    bytes.insert(bytes.end(), inside.begin(), inside.end());
    bytes.resize(40, 0x20);
    return bytes;
}

std::vector<unsigned char> Ascii(const char* text) { return std::vector<unsigned char>(text, text + strlen(text)); }

std::vector<unsigned char> Utf16(const char* text)
{
    std::vector<unsigned char> bytes;
    for (; *text; ++text)
        bytes.insert(bytes.end(), {static_cast<unsigned char>(*text), 0});
    return bytes;
}

struct RawCase {
    const char* holds;
    std::wstring dump;
    bool replacedWithKeepRaw;
};

const RawCase kRaws[] = {
    {"nothing private", Dump(Padded({0x10, 0x20})), false},
    {"the serial in ASCII", Dump(Padded(Ascii("E9D20177341"))), true},
    {"the serial in ASCII, lower case", Dump(Padded(Ascii("e9d20177341"))), true},
    {"the computer name in UTF-16", Dump(Padded(Utf16("PC-Seven"))), true},
    {"the owner in UTF-16 at an odd place", Dump(Padded({0x00, 'J', 0, 'a', 0, 'n', 0, 'e', 0, ' ', 0, 'D', 0, 'o', 0, 'e', 0})), true},
    {"the User Serial ID in binary", Dump(Padded({0x00, 0xC9, 0x00, 0x17})), true},
    {"the User Serial ID in binary, little-endian", Dump(Padded({0x17, 0x00, 0xC9, 0x00})), true},
    {"no dump at all", L"\n00FF\nA\xFFFD'", true},
};

TEST(Redaction, RawDumpsGoUnlessKeptAndFreeOfPrivateValues)
{
    for (const RawCase& row : kRaws) {
        for (unsigned keep : {0u, unsigned(kRedactRaw)}) {
            Report report = DeviceReport(Device(), L"", row.dump.c_str());
            Redactor(keep).Redact(report);
            bool replaced = keep == 0 || row.replacedWithKeepRaw;
            const ReportTest& raw = TestAt(report, 4);
            EXPECT_EQ(replaced ? L"RawData-1" : row.dump, raw.result) << row.holds << ", keep " << keep;
            EXPECT_EQ(replaced ? L"String" : L"Raw", raw.format) << row.holds;
        }
    }
}

}  // namespace
}  // namespace kvreport
