// The module test families the PC module group and the panel module group
// share: FPGA, factory settings, operating counters and temperature sensors of
// one module. The two groups read through different entry points
// (ModuleReader) and differ in labels and failure rules (ModuleForm).
#pragma once

#include "groups/units/unit_writer.h"

namespace kv {

// Reads one module's values: a PC module through the IxaGetModule... entry
// points, a panel module through the IxaGetPanelModule... ones.
class ModuleReader {
public:
    static ModuleReader PcModule(const DeviceInterface& device, BYTE module);
    static ModuleReader PanelModule(const DeviceInterface& device, BYTE panel, BYTE module);

    bool Factory(UINT selector, void* buffer, UINT size) const;
    bool Firmware(UINT selector, void* buffer, UINT size) const;
    bool Statistics(UINT selector, UINT sub, void* buffer, UINT size) const;
    bool Temperature(UINT selector, UINT sub, void* buffer, UINT size) const;

private:
    enum Block { kFactory, kFirmware, kStatistics, kTemperature, kBlockCount };
    bool Read(Block block, UINT selector, UINT sub, void* buffer, UINT size) const;

    bool m_panelModule = false;
    UINT m_panel = 0;
    UINT m_module = 0;
    ixa::ModuleRead m_moduleReads[kBlockCount] = {};
    ixa::PanelModuleRead m_panelModuleReads[kBlockCount] = {};
};

// What a factory settings test writes when its read fails.
enum class VersionFailure {
    kNotAvailableOrError,  // "N/A" on error 87, 50 or 23, else the error text
    kLeftOut,              // no test: "Version" is written only when it was read
};
enum class RawSizeFailure {
    kNotAvailableOn87,  // an unreadable or zero block size: "N/A" on error 87, else the error text
    kError,             // the error text
};

struct CounterLabels {
    LabelPair cycles;
    LabelPair hours;
};

const UINT kCounterSets = 4;

// Where the two module groups differ.
struct ModuleForm {
    UINT fpgaCategory;
    bool keepFailedBootAreaAndCounter;  // false: "FPGA booted from" and "FPGA update counter" only when read
    UINT factoryCategory;
    VersionFailure versionFailure;
    RawSizeFailure rawSizeFailure;
    UINT statisticsCategory;
    CounterLabels counterSets[kCounterSets];
    UINT temperaturesCategory;
    UINT sensorSubCategory;  // a format taking the sensor number (1 to 4)
};

struct FpgaTest;

class ModuleTests : public UnitWriter {
public:
    ModuleTests(DeviceInterface& device, ReportWriter& writer, const ModuleReader& reader, const ModuleForm& form)
        : UnitWriter(device, writer), m_reader(reader), m_form(form)
    {
    }

    // Nothing when the FPGA ID cannot be read (a module without FPGA).
    void WriteFpga();
    void WriteFactorySettings();
    // Counter sets whose cycles cannot be read are left out; no category without any.
    void WriteStatistics();
    // Sensors that cannot be read are left out; no category without any.
    void WriteTemperatures();

private:
    void WriteFpgaTest(const FpgaTest& test);
    void WriteFactoryVersion();
    void WriteRawData();
    void WriteSensorStatistics(UINT sensor);

    const ModuleReader& m_reader;
    const ModuleForm& m_form;
};

}  // namespace kv
