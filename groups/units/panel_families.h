// The panel test families the panel group and the panel module group share:
// status, link, factory settings, temperature, fan, display settings, keys and
// LEDs of the selected panel. The two groups word their labels differently
// (PanelTexts) and differ in a few rules, passed as arguments.
#pragma once

#include "groups/units/unit_writer.h"

#include <functional>
#include <string>

namespace kv {

// A rule that decides one part of a panel, asked only where that part is
// decided, so a device type it needs is read (or read again) at that point.
using PanelRuleCheck = std::function<bool()>;

const size_t kPanelFactoryItemCount = 7;

struct PanelTexts {
    Label linked;
    Label locked;
    Label lockTime;
    Label linkType;
    Label linkFpgaVersion;
    // Vendor ID, Device ID, Compatibility ID, Hardware revision, Serial number, Model number, Raw data.
    LabelPair factory[kPanelFactoryItemCount];
    LabelPair displayType;  // only where the panel group shows it
    LabelPair resolution;
    LabelPair brightness;
    LabelPair defaultBrightness;
    LabelPair equalizer;
    LabelPair equalizerAutoValue;
    LabelPair keyCount;
    LabelPair keysEnabled;
    LabelPair keySwitches;
    LabelPair keyMatrix;
    LabelPair ledCount;
    LabelPair ledMatrix;  // the name is a format taking the layer number (1 to 4)
};

// Selects the panel and reads its presence: true when both succeed and the
// panel is there. Every later panel read refers to this panel.
bool SelectPresentPanel(DeviceInterface& device, BYTE panel);

// The panel fan: speed and alarm flag (an unreadable flag counts as no alarm).
struct PanelFanReading {
    bool ok;
    UINT16 rpm;
    bool alarm;
    DWORD error;  // when not ok
};
PanelFanReading ReadPanelFan(DeviceInterface& device);

class PanelTests : public UnitWriter {
public:
    PanelTests(DeviceInterface& device, ReportWriter& writer, const PanelTexts& texts)
        : UnitWriter(device, writer), m_texts(texts)
    {
    }

    // "Linked", and for a linked panel "Locked" and "Lock time". Returns whether
    // the panel is linked (an unreadable link state counts as not linked).
    // lockTimeNotAvailable: a lock time read failing with error 1 gives "N/A".
    bool WriteStatus(bool lockTimeNotAvailable);
    // "Type" and "FPGA version" of the panel link.
    void WriteLink();
    void WriteFactorySettings();
    // The panel temperature with its alarm flag.
    void WriteTemperature(const std::wstring& label);
    // equalizer, asked after the brightness: the equalizer value and, in manual
    // mode, the value of automatic mode.
    void WriteDisplaySettings(bool displayType, const PanelRuleCheck& equalizer);
    void WriteKeys();
    // firstLayerOnly, asked for each of layers 2 to 4 whose key configuration
    // state is set: true leaves that layer out all the same.
    void WriteLeds(const PanelRuleCheck& firstLayerOnly);

private:
    // A key or LED count test; returns the count, 0 when the call fails (whatever it wrote).
    BYTE WriteCountTest(const LabelPair& texts, ixa::ValueRead read);
    bool WriteLinkState(const Label& label, UINT selector);
    void WriteLockTime(bool notAvailableOnError1);
    void WriteResolution();
    bool WriteBrightness();
    void WriteEqualizer();
    void WriteEqualizerAutoValue();
    void WriteLedLayer(UINT layer);

    const PanelTexts& m_texts;
};

}  // namespace kv
