// Base of every test group: one object per group and scan, holding the scan's
// writer and its own binding of the device library.
#pragma once

#include "device/device_identity.h"
#include "device/device_interface.h"
#include "device/library_text.h"
#include "groups/module_selectors.h"
#include "report/xml_writer.h"

#include <string>

namespace kv {

// String 261, the result of a value the device does not provide.
const UINT kIdsNotAvailable = 261;

// ---- Module data blocks: argument types ----

// The texts that label the ten factory-settings tests.
enum class FactoryLabelSet {
    kTextLabelled,  // literal labels; the caller describes the raw data
    kSlideIn,       // literal labels and descriptions naming the slide-in drive
    kMemoryModule,  // string-table labels (117 to 132)
};

// How one module's factory settings are labelled and read.
struct FactorySettingsForm {
    FactoryLabelSet labels = FactoryLabelSet::kTextLabelled;
    const wchar_t* rawDataDescription = nullptr;  // text-labelled set only
    bool hardwareRevisionAsString = false;        // IxaGetFactoryStringW instead of IxaGetFactoryValue
    bool withVersion = true;
    bool withRawData = true;
};

// A numbered module slot and the hardware value that says it is fitted.
struct ModuleSlot {
    int number;
    UINT presenceSelector;  // IxaGetHardwareValue
};

// Numbered modules whose selectors the blocks choose themselves.
struct SlideInSlot {
    int number;  // 1 or 2
};
struct IfBoardSlot {
    int number;  // 1 or 2
};
struct MemoryModule {
    int number;  // 1 or 2
};

class CTest {
public:
    explicit CTest(ReportWriter* writer);
    virtual ~CTest() = default;
    CTest(const CTest&) = delete;
    CTest& operator=(const CTest&) = delete;

    // Writes the group's whole TestGroup element, or nothing when it does not apply.
    virtual void RunTests() = 0;

    // Frees the group's copy of the device library.
    void ReleaseDevice() { m_device.Release(); }

protected:
    // Reads the device type into the cache; false when no device type is known.
    bool PassDeviceTypeGate();
    bool IsType(DWORD type) const { return m_device.deviceType == type; }

    // The result conventions shared by all groups.
    void WriteErrorResult(DWORD code);
    void WriteNotAvailable(int format = kFmtString);
    void WritePassed(const std::wstring& text, int format);
    // A whole test without description that passed with text.
    void WritePassedTest(UINT nameId, const std::wstring& text, int format);

    ReportWriter& Writer() { return *m_writer; }

    // ---- Module data blocks (module_blocks.cpp) ----
    // A module is fitted when its presence value (IxaGetHardwareValue, 4 bytes) can
    // be read and is nonzero; a missing entry point or a failed read means absent.
    bool IsModulePresent(UINT presenceSelector);
    // The number of the first fitted slot, 0 when none is.
    template <size_t N>
    int FirstFittedSlot(const ModuleSlot (&slots)[N])
    {
        for (const ModuleSlot& slot : slots) {
            if (IsModulePresent(slot.presenceSelector))
                return slot.number;
        }
        return 0;
    }

    // Each block writes Test elements only, into the category or subcategory the
    // caller has opened. Failed reads become "Failed" tests with the system error
    // text; a missing entry point counts as a failed call.

    // The ten factory-settings tests: Version, Vendor ID, Device ID, Compatibility
    // ID, Parent Device ID, Parent Compatibility ID, Hardware revision, Serial
    // number, Model number, Raw data.
    void WriteFactorySettings(const ModuleSelectors& selectors, const FactorySettingsForm& form);
    // Text-labelled set: bus unit, display link, fan kits, I/O board.
    void WriteFactorySettings(const ModuleSelectors& selectors, const wchar_t* rawDataDescription);
    // Slide-in set with the slot's selectors; other slot numbers write nothing.
    void WriteFactorySettings(SlideInSlot slot);
    // Text-labelled set with the IF slot's selectors; other slot numbers write nothing.
    void WriteFactorySettings(IfBoardSlot slot, const wchar_t* rawDataDescription);
    // Memory-module set; the device type decides on "Version" and the raw-data size.
    void WriteFactorySettings(MemoryModule module);

    // Cycles and hours counters: a 32-bit read, repeated as 16-bit on error 87.
    void WriteStatistics(const wchar_t* cyclesLabel, const wchar_t* hoursLabel, UINT cyclesSelector,
                         UINT hoursSelector);
    void WriteStatistics(const ModuleStatistics& statistics);
    // One counter of that scheme, for groups whose counters carry descriptions.
    void WriteStatisticsCounter(const wchar_t* label, const wchar_t* description, UINT selector);
    // Cycles and hours counters read once, as 16-bit values.
    void WriteStatistics16(const wchar_t* cyclesLabel, const wchar_t* hoursLabel, UINT cyclesSelector,
                           UINT hoursSelector);
    void WriteStatistics16(const ModuleStatistics& statistics);

    // "FPGA firmware version" and "Boot mode".
    void WriteFirmwareInfo(UINT versionSelector, UINT bootAreaSelector);
    void WriteFirmwareInfo(const ModuleFirmware& firmware);

    // "Sensor 1" to "Sensor 4" on consecutive selectors; an unreadable sensor is
    // left out, its label number is not reused.
    void WriteSensorTemperatures(UINT temperatureSelector, UINT alarmSelector = kNoAlarmSelector);
    void WriteSensorTemperatures(const ModuleSensors& sensors);
    // The same sensors below a subcategory that is opened once, just before the
    // first sensor that can be read; with no readable sensor it is not opened.
    void WriteSensorTemperatures(const ModuleSensors& sensors, const wchar_t* subCategory);
    // One sensor: nothing at all when the temperature cannot be read; "Alarm" when
    // the alarm flag (kNoAlarmSelector: none read) is nonzero.
    void WriteSensorTemperature(UINT temperatureSelector, UINT alarmSelector, const wchar_t* label,
                                const wchar_t* description);

    ReportWriter* m_writer;
    DeviceInterface m_device;

private:
    // ---- Module data blocks: helpers ----
    struct SensorReading {
        signed char degrees = 0;
        UINT32 alarm = 0;
    };

    void BeginFactoryTest(const FactorySettingsForm& form, size_t item);
    void WriteCounter16(const wchar_t* label, UINT selector);
    // False when the temperature cannot be read; a failed alarm read counts as no alarm.
    bool ReadSensor(UINT temperatureSelector, UINT alarmSelector, SensorReading& reading);
    void WriteSensorTest(const wchar_t* label, const wchar_t* description, const SensorReading& reading);
    void WriteSensors(UINT temperatureSelector, UINT alarmSelector, const wchar_t* subCategory);
};

}  // namespace kv
