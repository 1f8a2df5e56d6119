// Program texts: the hexadecimal dump of raw data, system error texts, the
// program's version and title, file versions and string resources.
#include "report_file.h"

#include "device/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

// The dump's lines as written out by hand: each line after a CR LF.
std::wstring Lines(const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines)
        text += L"\r\n" + line;
    return text;
}

std::wstring Repeat(const std::wstring& piece, int count)
{
    std::wstring text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

const std::wstring kFullFFLine(32, L'F');

std::wstring Dump(const std::vector<unsigned char>& bytes)
{
    std::wstring text;
    FormatRawData(bytes.data(), bytes.size(), text);
    return text;
}

// Bytes 00, 01, ... FE, 00, 01, ...: never FF.
std::vector<unsigned char> CountingBytes(size_t count)
{
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i % 255);
    return bytes;
}

TEST(FormatRawData, EmptyBlockGivesEmptyText)
{
    std::wstring text = L"old";
    FormatRawData(nullptr, 0, text);
    EXPECT_EQ(L"", text);
}

TEST(FormatRawData, SeventeenBytesGiveTwoLinesTheSecondWithOneByte)
{
    std::vector<unsigned char> bytes = CountingBytes(16);
    bytes.push_back(0xAB);
    EXPECT_EQ(L"\r\n000102030405060708090A0B0C0D0E0F\r\nAB", Dump(bytes));
}

TEST(FormatRawData, SixteenBytesGiveOneLine)
{
    std::vector<unsigned char> bytes = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x10, 0x9A, 0xFF,
                                        0x01, 0x02, 0x03, 0x04, 0xA0, 0xB0, 0xC0, 0xD0};
    EXPECT_EQ(L"\r\nDEADBEEF00109AFF01020304A0B0C0D0", Dump(bytes));
}

TEST(FormatRawData, A256ByteBlockOfFFIsShownInFullWithoutRemark)
{
    EXPECT_EQ(Repeat(L"\r\n" + kFullFFLine, 16), Dump(std::vector<unsigned char>(256, 0xFF)));
}

TEST(FormatRawData, TrailingFFBeyondTheFirst256BytesIsCounted)
{
    std::vector<unsigned char> bytes(256, 0x11);
    bytes.resize(300, 0xFF);
    EXPECT_EQ(Repeat(L"\r\n" + std::wstring(32, L'1'), 16) + L"\r\n(remaining 44 bytes are FF)", Dump(bytes));
}

TEST(FormatRawData, TheFirst256BytesStayEvenWhenTheyAreFF)
{
    std::vector<unsigned char> bytes(512, 0xFF);
    EXPECT_EQ(Repeat(L"\r\n" + kFullFFLine, 16) + L"\r\n(remaining 256 bytes are FF)", Dump(bytes));
}

TEST(FormatRawData, A2048ByteBlockWithLast1000FFShows1048Bytes)
{
    std::vector<unsigned char> bytes(1048, 0x5A);
    bytes.resize(2048, 0xFF);
    EXPECT_EQ(Repeat(L"\r\n" + Repeat(L"5A", 16), 65) + L"\r\n5A5A5A5A5A5A5A5A" + L"\r\n(remaining 1000 bytes are FF)",
              Dump(bytes));
}

TEST(FormatRawData, FFInsideTheBlockIsShown)
{
    // Only the FF bytes at the very end are summarised.
    std::vector<unsigned char> bytes(300, 0x00);
    for (size_t i = 260; i < 280; ++i)
        bytes[i] = 0xFF;
    bytes[299] = 0xFF;
    EXPECT_EQ(Repeat(L"\r\n" + std::wstring(32, L'0'), 16) +
                  Lines({std::wstring(8, L'0') + std::wstring(24, L'F'), std::wstring(16, L'F') + std::wstring(16, L'0'),
                         std::wstring(22, L'0'), L"(remaining 1 bytes are FF)"}),
              Dump(bytes));
}

TEST(FormatRawData, ALongBlockWithoutTrailingFFIsShownInFull)
{
    std::vector<unsigned char> bytes = CountingBytes(300);
    std::wstring text = Dump(bytes);
    std::vector<std::wstring> lines = SplitLines(text + L"\r\n");
    ASSERT_EQ(20u, lines.size());  // the leading line break, 18 full lines and one of 12 bytes
    EXPECT_EQ(L"", lines[0]);
    EXPECT_EQ(L"000102030405060708090A0B0C0D0E0F", lines[1]);
    EXPECT_EQ(L"F0F1F2F3F4F5F6F7F8F9FAFBFCFDFE00", lines[16]);
    EXPECT_EQ(L"2122232425262728292A2B2C", lines[19]);
}

TEST(FormatRawData, SecondLineStartsAtByte16)
{
    EXPECT_EQ(Lines({L"000102030405060708090A0B0C0D0E0F", L"101112"}), Dump(CountingBytes(19)));
}

// The system's own text for the code, final LF then final CR removed.
std::wstring SystemText(DWORD code)
{
    wchar_t buffer[1024] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                    buffer, 1024, nullptr);
    std::wstring text(buffer, length);
    if (!text.empty() && text.back() == L'\n')
        text.pop_back();
    if (!text.empty() && text.back() == L'\r')
        text.pop_back();
    return text;
}

TEST(SystemErrorText, IsTheSystemsTextWithoutItsFinalLineBreak)
{
    for (DWORD code : {2u, 5u, 29u, 80u, 87u, 110u, 160u}) {
        std::wstring expected = SystemText(code);
        ASSERT_FALSE(expected.empty()) << code;
        EXPECT_EQ(expected, std::wstring(SystemErrorText(code))) << code;
    }
}

TEST(SystemErrorText, AllTextsLiveInOneSharedBuffer)
{
    const wchar_t* first = SystemErrorText(2);
    const wchar_t* second = SystemErrorText(5);
    EXPECT_EQ(first, second);
    EXPECT_EQ(SystemText(5), std::wstring(first));
}

TEST(SystemErrorText, ACodeWithoutMessageKeepsThePreviousText)
{
    const DWORD kNoMessage = 0x2FFFFFF0;
    wchar_t buffer[64];
    ASSERT_EQ(0u, ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, kNoMessage, 0,
                                   buffer, 64, nullptr));
    std::wstring previous = SystemErrorText(87);
    EXPECT_EQ(previous, std::wstring(SystemErrorText(kNoMessage)));
}

TEST(ProgramVersion, VersionTextIsMajorDotMinorOfTheFileVersion)
{
    wchar_t text[260] = L"old";
    EXPECT_EQ(1, ProgramVersionText(text));
    EXPECT_STREQ(L"V2.0", text);
}

TEST(ProgramVersion, TitleIsTheProgramNameAndTheVersion)
{
    std::wstring title = L"old";
    ProgramTitleText(title);
    EXPECT_EQ(L"Kavrol Inspectra V2.0", title);
}

TEST(ReadFileVersion, ReadsTheFileVersionStringOfAFile)
{
    wchar_t self[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring version = L"old";
    EXPECT_EQ(1, ReadFileVersion(self, version));
    EXPECT_EQ(L"2.0.0.0", version);
}

TEST(ReadFileVersion, AFileWithoutVersionResourceGivesZero)
{
    TempFolder folder;
    std::wstring path = folder.File(L"plain.txt");
    WriteFileBytes(path, "no version here");
    std::wstring version;
    EXPECT_EQ(0, ReadFileVersion(path.c_str(), version));
    EXPECT_EQ(0, ReadFileVersion(folder.File(L"missing.dll").c_str(), version));
}

TEST(LoadResourceString, LoadsTheProgramsStringTable)
{
    EXPECT_EQ(L"Kavrol Inspectra", LoadResourceString(101));
    EXPECT_EQ(L"The report file %s already exists. Overwrite this file?", LoadResourceString(102));
    EXPECT_EQ(L"This version of Kavrol Inspectra can't be executed on R96 devices.\n\rUse the 32-bit version of "
              L"Kavrol Inspectra instead.",
              LoadResourceString(108));
    EXPECT_EQ(L"N/A", LoadResourceString(261));
    EXPECT_EQ(L"", LoadResourceString(276));  // an id without a string
}

TEST(Format, FormatsLikePrintf)
{
    EXPECT_EQ(L"7 Dec 2026", Format(L"%d %ls %d", 7, L"Dec", 2026));
    EXPECT_EQ(L"09:05:00", Format(L"%02d:%02d:%02d", 9, 5, 0));
    EXPECT_EQ(L"", Format(L""));
}

}  // namespace
}  // namespace kv
