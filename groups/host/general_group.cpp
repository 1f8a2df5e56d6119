#include "groups/host/general_group.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

const UINT kIdsUserSerialId = 395;
const UINT kIdsKeyConfiguration = 394;

// Strings of the device library are read into 512-byte buffers.
const UINT kBufferBytes = 512;

struct KeyCfgStringTest {
    UINT nameId;
    UINT selector;             // IxaGetKeyCfgStringW
    bool emptyIsNotAvailable;  // an empty text is shown as "N/A"
};

static const KeyCfgStringTest kKeyCfgStringTests[] = {
    {398, 0, false},  // "Version"
    {399, 1, false},  // "Build date"
    {400, 2, true},   // "User information"
};

// An 8-bit value of a one-value entry point. The call has no size argument, so the
// value gets the room of a 32-bit one in case a library writes more than 8 bits.
struct KeyByte {
    DWORD room = 0;
    int Value() const { return static_cast<BYTE>(room & 0xFF); }
};

}  // namespace

void CTestGeneral::RunTests()
{
    if (!PassDeviceTypeGate())
        return;
    Writer().BeginGeneralGroup();
    Writer().BeginSubCategory(kIdsUserSerialId);
    WriteUserSerialIdTest();
    Writer().BeginCategory(kIdsKeyConfiguration);
    if (WriteKeyCfgStateTest()) {
        for (const KeyCfgStringTest& test : kKeyCfgStringTests)
            WriteKeyCfgStringTest(test.nameId, test.selector, test.emptyIsNotAvailable);
        WriteKeyLayerTest();
        WriteKeyLayerModeTest();
    }
    Writer().EndGroup();
}

void CTestGeneral::WriteUserSerialIdTest()
{
    DWORD serialId = 0;
    Writer().BeginTest(405, 406);
    if (m_device.IxaGetUserSerialId && m_device.IxaGetUserSerialId(&serialId))
        WritePassed(Format(L"%08Xh", serialId), kFmtString);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

bool CTestGeneral::WriteKeyCfgStateTest()
{
    DWORD state = 0;
    Writer().BeginTest(396, 397);
    bool valid = false;
    if (m_device.IxaGetKeyCfgState && m_device.IxaGetKeyCfgState(&state)) {
        valid = state != 0;
        Writer().WriteResult(valid ? L"Valid" : L"Invalid", kPassed, kFmtUnknown);
    } else {
        WriteErrorResult(::GetLastError());
    }
    Writer().EndTest();
    return valid;
}

void CTestGeneral::WriteKeyCfgStringTest(UINT nameId, UINT selector, bool emptyIsNotAvailable)
{
    LibraryText<kBufferBytes> text;
    Writer().BeginTest(nameId);
    if (!m_device.IxaGetKeyCfgStringW || !m_device.IxaGetKeyCfgStringW(selector, text.text, text.kBytes))
        WriteErrorResult(::GetLastError());
    else if (emptyIsNotAvailable && text.text[0] == L'\0')
        WriteNotAvailable();
    else
        WritePassed(text.text, kFmtString);
    Writer().EndTest();
}

void CTestGeneral::WriteKeyLayerTest()
{
    KeyByte layer;
    Writer().BeginTest(401, 402);
    if (m_device.IxaGetKeyLayer && m_device.IxaGetKeyLayer(&layer.room))
        WritePassed(Format(L"%d", layer.Value()), kFmtDec);
    else
        WriteErrorResult(::GetLastError());
    Writer().EndTest();
}

// Devices whose library has no layer mode answer ERROR_INVALID_FUNCTION.
void CTestGeneral::WriteKeyLayerModeTest()
{
    KeyByte mode;
    Writer().BeginTest(403, 404);
    if (m_device.IxaGetKeyLayerMode && m_device.IxaGetKeyLayerMode(&mode.room)) {
        WritePassed(Format(L"%d", mode.Value()), kFmtDec);
    } else {
        DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_FUNCTION)
            WriteNotAvailable(kFmtDec);
        else
            WriteErrorResult(error);
    }
    Writer().EndTest();
}

}  // namespace kv
