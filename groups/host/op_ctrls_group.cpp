#include "groups/host/op_ctrls_group.h"

#include "device/text_helpers.h"

namespace kv {
namespace {

// The enable switch has no presence value: its read itself tells when it is absent.
const UINT kNoPresenceRead = 0;

struct OpCtrlTest {
    UINT nameId;
    UINT descriptionId;
    UINT presenceSelector;  // IxaGetHardwareValue, 32-bit; non-zero when the control is fitted
    UINT valueSelector;     // IxaGetHardwareValue
    UINT valueSize;         // bytes
};

static const OpCtrlTest kOpCtrlTests[] = {
    {253, 254, 75, 76, 4},              // "Push button"
    {255, 256, 71, 72, 1},              // "Selector switch"
    {257, 258, 73, 74, 4},              // "Stop button"
    {259, 260, kNoPresenceRead, 48, 1},  // "Enable switch"
};

}  // namespace

void CTestOpCtrls::RunTests()
{
    if (!PassDeviceTypeGate())
        return;
    Writer().BeginGroup(251, 252);
    for (const OpCtrlTest& test : kOpCtrlTests) {
        Writer().BeginTest(test.nameId, test.descriptionId);
        if (test.presenceSelector == kNoPresenceRead)
            WriteEnableSwitchResult(test.valueSelector, test.valueSize);
        else
            WritePresentControlResult(test.presenceSelector, test.valueSelector, test.valueSize);
        Writer().EndTest();
    }
    Writer().EndGroup();
}

bool CTestOpCtrls::ReadHardwareValue(UINT selector, UINT size, int& value)
{
    if (!m_device.IxaGetHardwareValue)
        return false;
    if (size == sizeof(BYTE)) {
        BYTE byteValue = 0;
        if (!m_device.IxaGetHardwareValue(selector, &byteValue, sizeof byteValue))
            return false;
        value = byteValue;
        return true;
    }
    INT32 wordValue = 0;
    if (!m_device.IxaGetHardwareValue(selector, &wordValue, sizeof wordValue))
        return false;
    value = wordValue;
    return true;
}

// A control that is not fitted (presence unreadable or 0) is "N/A"; its value is not read.
void CTestOpCtrls::WritePresentControlResult(UINT presenceSelector, UINT valueSelector, UINT valueSize)
{
    int present = 0;
    if (!ReadHardwareValue(presenceSelector, sizeof(INT32), present) || present == 0) {
        WriteNotAvailable();
        return;
    }
    int value = 0;
    if (ReadHardwareValue(valueSelector, valueSize, value))
        WritePassed(Format(L"%d", value), kFmtString);
    else
        WriteErrorResult(::GetLastError());
}

// No switch (ERROR_NOT_FOUND) or no such value (ERROR_INVALID_PARAMETER) is "N/A".
void CTestOpCtrls::WriteEnableSwitchResult(UINT valueSelector, UINT valueSize)
{
    int value = 0;
    if (ReadHardwareValue(valueSelector, valueSize, value)) {
        WritePassed(Format(L"%d", value), kFmtString);
        return;
    }
    DWORD error = ::GetLastError();
    if (error == ERROR_NOT_FOUND || error == ERROR_INVALID_PARAMETER)
        WriteNotAvailable();
    else
        WriteErrorResult(error);
}

}  // namespace kv
