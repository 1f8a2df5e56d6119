// The display data of a DVI channel: the maker's manufacturer code, the header of
// its identification block, the block's big-endian numbers and its 8-bit texts.
#include "groups/platform/dvi_group.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kv {
namespace {

struct Data {
    DisplayData bytes = {};

    Data& At(size_t offset, std::initializer_list<BYTE> values)
    {
        for (BYTE value : values)
            bytes[offset++] = value;
        return *this;
    }
    Data& Text(size_t offset, const char* text)
    {
        std::memcpy(bytes + offset, text, std::strlen(text));
        return *this;
    }
};

Data MakerBlock()
{
    Data data;
    data.At(8, {0x6B, 0x5E}).At(128, {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF});
    return data;
}

TEST(DviDisplayData, ManufacturerCodeOfTheMakerIs6B5EAtOffset8)
{
    EXPECT_TRUE(IsMakerDisplay(MakerBlock().bytes));
    EXPECT_FALSE(IsMakerDisplay(Data().At(8, {0x5E, 0x6B}).bytes));
    EXPECT_FALSE(IsMakerDisplay(Data().At(7, {0x6B, 0x5E}).bytes));
}

TEST(DviDisplayData, EveryByteOfTheHeaderCounts)
{
    EXPECT_TRUE(HasIdentificationBlock(MakerBlock().bytes));
    for (size_t offset = 128; offset < 136; ++offset) {
        Data data = MakerBlock();
        data.bytes[offset] ^= 0x01;
        EXPECT_FALSE(HasIdentificationBlock(data.bytes)) << offset;
    }
}

TEST(DviDisplayData, NumbersAreBigEndian)
{
    Data data = MakerBlock();
    data.At(138, {0x00, 0x00, 0xE2, 0x15}).At(142, {0x00, 0x01}).At(144, {0x00, 0x00, 0x01, 0x2C});
    const DviIdentification block = ReadIdentification(data.bytes);
    EXPECT_EQ(0x0000E215u, block.deviceId);
    EXPECT_EQ(0x0001u, block.compatibilityId);
    EXPECT_EQ(0x0000012Cu, block.vendorId);

    data.At(138, {0x12, 0x34, 0x56, 0x78}).At(142, {0xAB, 0xCD}).At(144, {0xFF, 0xFE, 0xFD, 0xFC});
    const DviIdentification other = ReadIdentification(data.bytes);
    EXPECT_EQ(0x12345678u, other.deviceId);
    EXPECT_EQ(0xABCDu, other.compatibilityId);
    EXPECT_EQ(0xFFFEFDFCu, other.vendorId);
}

TEST(DviDisplayData, TextsEndAtTheirZeroByte)
{
    Data data = MakerBlock();
    data.Text(148, "C0").Text(153, "E9P21104587").Text(165, "KV-PNL.21W-K34");
    const DviIdentification block = ReadIdentification(data.bytes);
    EXPECT_EQ(L"C0", block.hardwareRevision);
    EXPECT_EQ(L"E9P21104587", block.serialNumber);
    EXPECT_EQ(L"KV-PNL.21W-K34", block.modelNumber);
}

TEST(DviDisplayData, EmptyTextsAreEmpty)
{
    const DviIdentification block = ReadIdentification(MakerBlock().bytes);
    EXPECT_EQ(L"", block.hardwareRevision);
    EXPECT_EQ(L"", block.serialNumber);
    EXPECT_EQ(L"", block.modelNumber);
}

TEST(DviDisplayData, ATextWithoutZeroRunsOnUntilTheNextZeroByte)
{
    // The revision fills its five bytes and runs into the serial number that follows.
    Data data = MakerBlock();
    data.Text(148, "REV01").Text(153, "SN");
    EXPECT_EQ(L"REV01SN", ReadIdentification(data.bytes).hardwareRevision);
}

TEST(DviDisplayData, ATextWithoutZeroEndsWithTheDisplayData)
{
    Data data = MakerBlock();
    for (size_t offset = 165; offset < kDisplayDataBytes; ++offset)
        data.bytes[offset] = static_cast<BYTE>('A' + offset % 26);
    const std::wstring model = ReadIdentification(data.bytes).modelNumber;
    ASSERT_EQ(kDisplayDataBytes - 165, model.size());
    EXPECT_EQ(L'A' + 165 % 26, model.front());
    EXPECT_EQ(static_cast<wchar_t>(L'A' + 255 % 26), model.back());
}

}  // namespace
}  // namespace kv
