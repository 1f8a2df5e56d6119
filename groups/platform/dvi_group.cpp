#include "groups/platform/dvi_group.h"

#include "device/text_helpers.h"
#include "groups/device_types.h"

namespace kv {

// One DVI channel: where it leads, the panel index it is reached under
// (IxaSelectPanel) and the selectors of its display (IxaGetFactoryValue).
struct DviChannel {
    int number;
    const wchar_t* portName;
    BYTE panelIndex;
    BYTE panelIndexOnPanelOneTypes;  // on the models of kPanelOneTypes
    UINT displayDataSelector;        // 256 bytes
    UINT resolutionSelectors[2];     // 2 bytes each: first and second number
};

namespace {

// The models without the group: P93 and R96.
const DWORD kNoDviTypes[] = {kPanevoxP93, kRoamdeckR96};
// The models with channel 1 only.
const DWORD kSingleChannelTypes[] = {kPanevoxP30,   kPanevoxP50,  kCorvaboxC60, kVoltadeckV70,
                                     kCorvaboxC80,  kCorvaboxC81, kPanevoxP91,  kCorvaboxC92};
// The models that reach channel 1's panel under index 1.
const DWORD kPanelOneTypes[] = {kVoltadeckV70, kCorvaboxC80, kCorvaboxC81};

//   channel  port name                              panel  on V70/C80/C81  display data  resolution
const DviChannel kChannels[] = {
    {1, L"Monitor/Panel",                        0, 1, 19, {21, 22}},
    {2, L"Display/VD Link Slot (if present)",    8, 8, 20, {23, 24}},
};

const UINT kPanelConnectedSelector = 13;  // IxaGetHardwareValue, 4 bytes, nonzero: connected

// Offsets into the display data.
const size_t kManufacturerOffset = 8;
const BYTE kMakerManufacturer[] = {0x6B, 0x5E};
const size_t kHeaderOffset = 128;
const BYTE kIdentificationHeader[] = {0xFF, 0x55, 0xAA, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
const size_t kDeviceIdOffset = 138;
const size_t kCompatibilityIdOffset = 142;
const size_t kVendorIdOffset = 144;
const size_t kHardwareRevisionOffset = 148;
const size_t kSerialNumberOffset = 153;
const size_t kModelNumberOffset = 165;

const wchar_t kChannelFormat[] = L"DVI Channel %d";
const wchar_t kPortInformation[] = L"Port Information";

bool BytesAt(const DisplayData& data, size_t offset, const BYTE* expected, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (data[offset + i] != expected[i])
            return false;
    }
    return true;
}

DWORD BigEndian32(const DisplayData& data, size_t offset)
{
    return (static_cast<DWORD>(data[offset]) << 24) | (static_cast<DWORD>(data[offset + 1]) << 16) |
           (static_cast<DWORD>(data[offset + 2]) << 8) | data[offset + 3];
}

WORD BigEndian16(const DisplayData& data, size_t offset)
{
    return static_cast<WORD>((data[offset] << 8) | data[offset + 1]);
}

// The text up to its zero byte. A text without one ends with the display data:
// nothing beyond the 256 bytes read is ever looked at.
std::wstring BlockText(const DisplayData& data, size_t offset)
{
    size_t length = 0;
    while (offset + length < kDisplayDataBytes && data[offset + length] != 0)
        ++length;
    if (length == 0)
        return std::wstring();
    const char* text = reinterpret_cast<const char*>(data + offset);
    const int chars = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (chars <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), &wide[0], chars);
    return wide;
}

}  // namespace

bool IsMakerDisplay(const DisplayData& data)
{
    return BytesAt(data, kManufacturerOffset, kMakerManufacturer, sizeof kMakerManufacturer);
}

bool HasIdentificationBlock(const DisplayData& data)
{
    return BytesAt(data, kHeaderOffset, kIdentificationHeader, sizeof kIdentificationHeader);
}

DviIdentification ReadIdentification(const DisplayData& data)
{
    DviIdentification block;
    block.vendorId = BigEndian32(data, kVendorIdOffset);
    block.deviceId = BigEndian32(data, kDeviceIdOffset);
    block.compatibilityId = BigEndian16(data, kCompatibilityIdOffset);
    block.hardwareRevision = BlockText(data, kHardwareRevisionOffset);
    block.serialNumber = BlockText(data, kSerialNumberOffset);
    block.modelNumber = BlockText(data, kModelNumberOffset);
    return block;
}

void CTestDVI::RunTests()
{
    if (!PassDeviceTypeGate() || IsOneOf(m_device.deviceType, kNoDviTypes))
        return;
    // On the V70 the channel exists only with the I/O board (hardware value 58).
    if (IsType(kVoltadeckV70) && GetHardwareValue58(m_device) == 0)
        return;

    Writer().BeginGroup(L"DVI", L"Contains tests of DVI related items like display data or port names.",
                        Format(kChannelFormat, 1).c_str(), kPortInformation);
    for (const DviChannel& channel : kChannels) {
        if (channel.number == 2) {
            if (IsOneOf(m_device.deviceType, kSingleChannelTypes))
                break;
            Writer().BeginCategory(Format(kChannelFormat, channel.number).c_str(), kPortInformation);
        }
        WritePortInformation(channel);
        WriteDviSettings(channel);
    }
    Writer().EndGroup();
}

BYTE CTestDVI::PanelIndex(const DviChannel& channel) const
{
    return IsOneOf(m_device.deviceType, kPanelOneTypes) ? channel.panelIndexOnPanelOneTypes : channel.panelIndex;
}

bool CTestDVI::ReadPanelConnected(const DviChannel& channel, UINT32& connected)
{
    connected = 0;
    if (!m_device.IxaSelectPanel || !m_device.IxaSelectPanel(PanelIndex(channel)))
        return false;
    if (m_device.IxaGetHardwareValue &&
        m_device.IxaGetHardwareValue(kPanelConnectedSelector, &connected, sizeof connected))
        return true;
    connected = 0;
    return false;
}

void CTestDVI::WritePortInformation(const DviChannel& channel)
{
    WriteTextTest(L"Port name", nullptr, channel.portName, kFmtString);

    // A failed selection or read leaves the test without a result.
    Writer().BeginTest(L"Panel connected", nullptr);
    UINT32 connected = 0;
    if (ReadPanelConnected(channel, connected))
        WritePassed(connected != 0 ? L"Yes" : L"No", kFmtYesNo);
    Writer().EndTest();
}

void CTestDVI::WriteDviSettings(const DviChannel& channel)
{
    UINT32 connected = 0;
    if (!ReadPanelConnected(channel, connected) || connected == 0)
        return;
    Writer().BeginSubCategory(L"DVI Settings");
    DisplayData data = {};
    if (!WriteAvailableTest(channel, data))
        return;
    WriteIdentificationTests(data);
    WriteResolution(channel);
    std::wstring dump;
    FormatRawData(data, sizeof data, dump);
    WriteTextTest(L"Raw data", L"Complete factory settings", dump, kFmtRaw);
}

bool CTestDVI::WriteAvailableTest(const DviChannel& channel, DisplayData& data)
{
    Writer().BeginTest(L"Available", nullptr);
    const bool available = ReadFactoryValue(m_device, channel.displayDataSelector, data, sizeof data) != 0;
    if (available)
        WritePassed(L"Yes", kFmtYesNo);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
    return available;
}

void CTestDVI::WriteIdentificationTests(const DisplayData& data)
{
    if (!IsMakerDisplay(data)) {
        WriteTextTest(L"Manufacturer ID", nullptr, L"Unknown", kFmtString);
        return;
    }
    WriteTextTest(L"Manufacturer ID", nullptr, L"6B5E", kFmtHex);
    if (!HasIdentificationBlock(data)) {
        WriteTextTest(L"Header ID", nullptr, L"No Kavrol internal data!", kFmtString);
        return;
    }
    WriteTextTest(L"Header ID", nullptr, L"FF55AAFF0000FFFF", kFmtHex);
    const DviIdentification block = ReadIdentification(data);
    WriteTextTest(L"Vendor ID", L"Kavrol = 0.", Format(L"%08Xh", block.vendorId), kFmtString);
    WriteTextTest(L"Device ID", nullptr, Format(L"%08Xh", block.deviceId), kFmtString);
    WriteTextTest(L"Compatibility ID",
                  L"The compatibility ID is used to recognize hardware changes that are important for "
                  L"device-specific software.",
                  Format(L"%04Xh", static_cast<unsigned>(block.compatibilityId)), kFmtString);
    WriteTextTest(L"Hardware revision", nullptr, block.hardwareRevision, kFmtString);
    WriteTextTest(L"Serial number", nullptr, block.serialNumber, kFmtString);
    WriteTextTest(L"Model number", nullptr, block.modelNumber, kFmtString);
}

void CTestDVI::WriteTextTest(const wchar_t* label, const wchar_t* description, const std::wstring& text,
                             int format)
{
    Writer().BeginTest(label, description);
    WritePassed(text, format);
    Writer().EndTest();
}

void CTestDVI::WriteResolution(const DviChannel& channel)
{
    Writer().BeginTest(L"Display resolution", nullptr);
    UINT16 first = 0;
    UINT16 second = 0;
    if (ReadFactoryValue(m_device, channel.resolutionSelectors[0], &first, sizeof first) &&
        ReadFactoryValue(m_device, channel.resolutionSelectors[1], &second, sizeof second))
        WritePassed(Format(L"%dx%d", static_cast<int>(first), static_cast<int>(second)), kFmtString);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

}  // namespace kv
