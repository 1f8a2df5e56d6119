#include "groups/units/panel_families.h"

#include "device/library_text.h"
#include "device/text_helpers.h"

namespace kv {
namespace {

// ---- Selectors of the selected panel ----

const UINT kHardwarePresence = 12;  // IxaGetHardwareValue, 4 bytes, nonzero = present
const UINT kHardwareLinked = 13;    // 4 bytes, nonzero = linked
const UINT kHardwareLocked = 14;    // 4 bytes, nonzero = locked
const UINT kHardwareLinkType = 17;  // IxaGetHardwareStringW
const UINT kFirmwareLinkFpga = 20;  // IxaGetFirmwareStringW
const UINT kHardwareFan = 11;       // 2 bytes, rpm
const UINT kAlarmFan = 10;          // IxaGetAlarm
const UINT kTemperaturePanel = 5;   // IxaGetTemperature, signed byte
const UINT kAlarmTemperature = 9;   // IxaGetAlarm
const UINT kFactoryDisplayType = 4;  // IxaGetFactoryValue, 1 byte
const UINT kFactoryResolutionFirst = 15;   // 2 bytes
const UINT kFactoryResolutionSecond = 16;  // 2 bytes
const UINT kHardwareEqualizerAuto = 21;    // 1 byte: the value automatic mode would use

const UINT kKeyMatrixBytes = 16;
const UINT kLedMatrixBytes = 32;
const UINT kLedLayers = 4;

const UINT kTextBytes = 512;
using DeviceText = LibraryText<kTextBytes>;

// How a panel factory item is read and written; all results are "String" but the dump.
enum class PanelFactoryRead {
    kHex32,    // IxaGetFactoryValue, 4 bytes, "%08Xh"
    kHex16,    // IxaGetFactoryValue, 2 bytes, "%04Xh"
    kString,   // IxaGetFactoryStringW, 512 bytes
    kRawData,  // IxaGetFactoryValue, 256 bytes, hexadecimal dump, "Raw"
};

struct PanelFactoryItem {
    PanelFactoryRead read;
    UINT selector;
};

// Same order as PanelTexts::factory.
const PanelFactoryItem kPanelFactoryItems[kPanelFactoryItemCount] = {
    {PanelFactoryRead::kHex32, 27},    // Vendor ID
    {PanelFactoryRead::kHex32, 25},    // Device ID
    {PanelFactoryRead::kHex16, 26},    // Compatibility ID
    {PanelFactoryRead::kString, 28},   // Hardware revision
    {PanelFactoryRead::kString, 29},   // Serial number
    {PanelFactoryRead::kString, 30},   // Model number
    {PanelFactoryRead::kRawData, 18},  // Raw data
};

const UINT kPanelRawDataBytes = 256;

// An 8-bit value of a one-value entry point. The call has no size argument, so the
// value gets the room of a 32-bit one in case a library writes more than 8 bits.
bool CallByte(ixa::ValueRead read, BYTE& value)
{
    DWORD room = 0;
    if (!Call(read, &room))
        return false;
    value = static_cast<BYTE>(room & 0xFF);
    return true;
}

bool ReadFlag(ixa::SelectorRead read, UINT selector)
{
    UINT32 flag = 0;
    if (!Call(read, selector, &flag, static_cast<UINT>(sizeof flag)))
        return false;
    return flag != 0;
}

std::wstring Dump(const unsigned char* bytes, size_t length)
{
    std::wstring text;
    FormatRawData(bytes, length, text);
    return text;
}

}  // namespace

bool SelectPresentPanel(DeviceInterface& device, BYTE panel)
{
    // A failed selection leaves another panel selected: its presence says nothing.
    if (!Call(device.IxaSelectPanel, static_cast<UINT>(panel)))
        return false;
    return ReadFlag(device.IxaGetHardwareValue, kHardwarePresence);
}

PanelFanReading ReadPanelFan(DeviceInterface& device)
{
    UINT16 rpm = 0;
    if (!Call(device.IxaGetHardwareValue, kHardwareFan, &rpm, static_cast<UINT>(sizeof rpm)))
        return PanelFanReading{false, 0, false, ::GetLastError()};
    return PanelFanReading{true, rpm, ReadFlag(device.IxaGetAlarm, kAlarmFan), ERROR_SUCCESS};
}

// A failed link or lock read is shown with its error text, but not as a failure.
bool PanelTests::WriteLinkState(const Label& label, UINT selector)
{
    Begin(label);
    UINT32 state = 0;
    if (Call(m_device.IxaGetHardwareValue, selector, &state, static_cast<UINT>(sizeof state))) {
        Result(YesNoText(state), kFmtYesNo);
    } else {
        state = 0;
        Result(SystemErrorText(::GetLastError()), kFmtString);
    }
    End();
    return state != 0;
}

bool PanelTests::WriteStatus(bool lockTimeNotAvailable)
{
    if (!WriteLinkState(m_texts.linked, kHardwareLinked))
        return false;
    WriteLinkState(m_texts.locked, kHardwareLocked);
    WriteLockTime(lockTimeNotAvailable);
    return true;
}

void PanelTests::WriteLockTime(bool notAvailableOnError1)
{
    Begin(m_texts.lockTime);
    UINT32 milliseconds = 0;
    if (Call(m_device.IxaGetPanelLockTime, &milliseconds))
        Result(Format(L"%u", static_cast<unsigned>(milliseconds)), kFmtMilliSeconds);
    else if (notAvailableOnError1 && ::GetLastError() == ERROR_INVALID_FUNCTION)
        NotAvailable();
    else
        Error(::GetLastError());
    End();
}

void PanelTests::WriteLink()
{
    Begin(m_texts.linkType);
    DeviceText type;
    if (Call(m_device.IxaGetHardwareStringW, kHardwareLinkType, type.text, type.kBytes))
        Result(type.text, kFmtString);
    else
        Error(::GetLastError());
    End();

    Begin(m_texts.linkFpgaVersion);
    DeviceText version;
    if (Call(m_device.IxaGetFirmwareStringW, kFirmwareLinkFpga, version.text, version.kBytes))
        Result(version.text, kFmtString);
    else
        Error(::GetLastError());
    End();
}

void PanelTests::WriteFactorySettings()
{
    for (size_t i = 0; i < kPanelFactoryItemCount; ++i) {
        const PanelFactoryItem& item = kPanelFactoryItems[i];
        Begin(m_texts.factory[i].name, m_texts.factory[i].description);
        bool ok = false;
        DWORD error = ERROR_SUCCESS;
        std::wstring text;
        int format = kFmtString;
        switch (item.read) {
        case PanelFactoryRead::kHex32: {
            UINT32 value = 0;
            ok = Call(m_device.IxaGetFactoryValue, item.selector, &value, static_cast<UINT>(sizeof value));
            error = ::GetLastError();
            text = Format(L"%08Xh", static_cast<unsigned>(value));
            break;
        }
        case PanelFactoryRead::kHex16: {
            UINT16 value = 0;
            ok = Call(m_device.IxaGetFactoryValue, item.selector, &value, static_cast<UINT>(sizeof value));
            error = ::GetLastError();
            text = Format(L"%04Xh", static_cast<unsigned>(value));
            break;
        }
        case PanelFactoryRead::kString: {
            DeviceText value;
            ok = Call(m_device.IxaGetFactoryStringW, item.selector, value.text, value.kBytes);
            error = ::GetLastError();
            text = value.text;
            break;
        }
        case PanelFactoryRead::kRawData: {
            unsigned char bytes[kPanelRawDataBytes] = {};
            ok = Call(m_device.IxaGetFactoryValue, item.selector, bytes, kPanelRawDataBytes);
            error = ::GetLastError();
            text = Dump(bytes, sizeof bytes);
            format = kFmtRaw;
            break;
        }
        }
        if (ok)
            Result(text, format);
        else
            Error(error);
        End();
    }
}

void PanelTests::WriteTemperature(const std::wstring& label)
{
    Begin(label);
    signed char degrees = 0;
    if (Call(m_device.IxaGetTemperature, kTemperaturePanel, &degrees, static_cast<UINT>(sizeof degrees))) {
        const bool alarm = ReadFlag(m_device.IxaGetAlarm, kAlarmTemperature);
        Result(Format(L"%d", static_cast<int>(degrees)), kFmtDegreeCentigrade, alarm ? kAlarm : kPassed);
    } else {
        Error(::GetLastError());
    }
    End();
}

void PanelTests::WriteDisplaySettings(bool displayType, const PanelRuleCheck& equalizer)
{
    if (displayType) {
        Begin(m_texts.displayType.name, m_texts.displayType.description);
        BYTE code = 0;
        if (Call(m_device.IxaGetFactoryValue, kFactoryDisplayType, &code, static_cast<UINT>(sizeof code)))
            Result(Format(L"%02X", static_cast<unsigned>(code)), kFmtHex);
        else
            Error(::GetLastError());
        End();
    }
    WriteResolution();
    if (WriteBrightness()) {
        Begin(m_texts.defaultBrightness.name, m_texts.defaultBrightness.description);
        BYTE percent = 0;
        if (CallByte(m_device.IxaGetDisplayDefaultBrightness, percent))
            Result(Format(L"%u", static_cast<unsigned>(percent)), kFmtPercent);
        else
            Error(::GetLastError());
        End();
    }
    if (equalizer())
        WriteEqualizer();
}

void PanelTests::WriteResolution()
{
    Begin(m_texts.resolution.name, m_texts.resolution.description);
    UINT16 first = 0;
    UINT16 second = 0;
    if (Call(m_device.IxaGetFactoryValue, kFactoryResolutionFirst, &first, static_cast<UINT>(sizeof first)) &&
        Call(m_device.IxaGetFactoryValue, kFactoryResolutionSecond, &second, static_cast<UINT>(sizeof second)))
        Result(Format(L"%dx%d", static_cast<int>(first), static_cast<int>(second)), kFmtString);
    else
        Error(::GetLastError());
    End();
}

bool PanelTests::WriteBrightness()
{
    Begin(m_texts.brightness.name, m_texts.brightness.description);
    BYTE percent = 0;
    const bool ok = CallByte(m_device.IxaGetDisplayBrightness, percent);
    if (ok)
        Result(Format(L"%u%%", static_cast<unsigned>(percent)), kFmtString);
    else
        Error(::GetLastError());
    End();
    return ok;
}

// The auto value follows only an equalizer that reported manual mode: after a
// failed read the library has said nothing about the mode.
void PanelTests::WriteEqualizer()
{
    Begin(m_texts.equalizer.name, m_texts.equalizer.description);
    UINT32 automatic = 0;
    // The 8-bit value gets the room of a 32-bit one, as the one-value reads do (CallByte).
    DWORD value = 0;
    const bool ok = Call(m_device.IxaGetDisplayEqualizer, &automatic, &value);
    if (ok)
        Result(Format(L"%u (%s)", static_cast<unsigned>(value & 0xFF), automatic ? L"Auto" : L"Manual"),
               kFmtString);
    else if (::GetLastError() == ERROR_NOT_SUPPORTED)
        NotAvailable();
    else
        Error(::GetLastError());
    End();
    if (ok && automatic == 0)
        WriteEqualizerAutoValue();
}

void PanelTests::WriteEqualizerAutoValue()
{
    Begin(m_texts.equalizerAutoValue.name, m_texts.equalizerAutoValue.description);
    BYTE value = 0;
    if (Call(m_device.IxaGetHardwareValue, kHardwareEqualizerAuto, &value, static_cast<UINT>(sizeof value)))
        Result(Format(L"%u", static_cast<unsigned>(value)), kFmtString);
    else if (::GetLastError() == ERROR_NOT_SUPPORTED)
        NotAvailable();
    else
        Error(::GetLastError());
    End();
}

// A failed call counts as 0 even when it wrote a count: a value from a failed call
// is not trusted (as the device-type gates no longer trust one), so the key or LED
// tests after it end rather than run on a number the library did not vouch for.
BYTE PanelTests::WriteCountTest(const LabelPair& texts, ixa::ValueRead read)
{
    Begin(texts.name, texts.description);
    BYTE count = 0;
    if (CallByte(read, count)) {
        Result(Format(L"%u", static_cast<unsigned>(count)), kFmtString);
    } else {
        count = 0;
        Error(::GetLastError());
    }
    End();
    return count;
}

void PanelTests::WriteKeys()
{
    if (WriteCountTest(m_texts.keyCount, m_device.IxaGetKeyCount) == 0)
        return;

    Begin(m_texts.keysEnabled.name, m_texts.keysEnabled.description);
    UINT32 enabled = 0;
    if (Call(m_device.IxaAreKeysEnabled, &enabled))
        Result(YesNoText(enabled), kFmtYesNo);
    else
        Error(::GetLastError());
    End();

    // Key switches that cannot be read are in no defined state.
    Begin(m_texts.keySwitches.name, m_texts.keySwitches.description);
    BYTE switches = 0;
    if (Call(m_device.IxaGetKeySwitches, &switches, static_cast<UINT>(sizeof switches)))
        Result(Format(L"%02X", static_cast<unsigned>(switches)), kFmtHex);
    else
        Result(L"Undefined", kFmtString);
    End();

    Begin(m_texts.keyMatrix.name, m_texts.keyMatrix.description);
    unsigned char matrix[kKeyMatrixBytes] = {};
    if (Call(m_device.IxaGetKeyMatrix, matrix, kKeyMatrixBytes))
        Result(Dump(matrix, sizeof matrix), kFmtRaw);
    else
        Error(::GetLastError());
    End();
}

void PanelTests::WriteLeds(const PanelRuleCheck& firstLayerOnly)
{
    if (WriteCountTest(m_texts.ledCount, m_device.IxaGetLedCount) == 0)
        return;

    for (UINT layer = 0; layer < kLedLayers; ++layer) {
        // Read for every layer; its result does not matter, only the state it leaves.
        UINT32 keyConfiguration = 0;
        Call(m_device.IxaGetKeyCfgState, &keyConfiguration);
        if (layer > 0 && (keyConfiguration == 0 || firstLayerOnly()))
            continue;
        WriteLedLayer(layer);
    }
}

void PanelTests::WriteLedLayer(UINT layer)
{
    Begin(Format(LabelText(m_texts.ledMatrix.name).c_str(), layer + 1), m_texts.ledMatrix.description);
    unsigned char matrix[kLedMatrixBytes] = {};
    if (Call(m_device.IxaGetLedMatrix, layer, matrix, kLedMatrixBytes))
        Result(Dump(matrix, sizeof matrix), kFmtRaw);
    else
        Error(::GetLastError());
    End();
}

}  // namespace kv
