// DVI group: for each DVI channel of the device where it leads, whether a panel
// is connected and what the connected display reports about itself.
#pragma once

#include "groups/group_base.h"

#include <string>

namespace kv {

struct DviChannel;

// The display data a channel's display delivers (IxaGetFactoryValue, 256 bytes).
const UINT kDisplayDataBytes = 256;
using DisplayData = BYTE[kDisplayDataBytes];

class CTestDVI : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    BYTE PanelIndex(const DviChannel& channel) const;
    // Selects the channel's panel and reads whether one is connected; false when
    // the selection or the read fails.
    bool ReadPanelConnected(const DviChannel& channel, UINT32& connected);
    void WritePortInformation(const DviChannel& channel);
    void WriteDviSettings(const DviChannel& channel);
    // "Available": reads the display data; false when it cannot be read.
    bool WriteAvailableTest(const DviChannel& channel, DisplayData& data);
    // "Manufacturer ID" and, for the maker's displays, its identification block.
    void WriteIdentificationTests(const DisplayData& data);
    void WriteTextTest(const wchar_t* label, const wchar_t* description, const std::wstring& text, int format);
    void WriteResolution(const DviChannel& channel);
};

// The maker's identification block inside the display data.
struct DviIdentification {
    DWORD vendorId = 0;
    DWORD deviceId = 0;
    WORD compatibilityId = 0;
    std::wstring hardwareRevision;
    std::wstring serialNumber;
    std::wstring modelNumber;
};

// Manufacturer code 6B 5E at offset 8.
bool IsMakerDisplay(const DisplayData& data);
// FF 55 AA FF 00 00 FF FF at offset 128.
bool HasIdentificationBlock(const DisplayData& data);
// The big-endian numbers and the 8-bit texts (thread code page) of the block.
DviIdentification ReadIdentification(const DisplayData& data);

}  // namespace kv
