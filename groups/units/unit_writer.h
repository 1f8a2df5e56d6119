// What the unit and panel groups share: labels that are either literal texts or
// string-table ids, sets of device types for their rule tables, the number
// formats of their values, and a small writer of whole tests.
#pragma once

#include "device/device_interface.h"
#include "report/xml_writer.h"

#include <initializer_list>
#include <string>

namespace kv {

// A test label or description: a literal text, or a string-table id when the
// text is null. Neither (kNoText) means no description.
struct Label {
    const wchar_t* text;
    UINT id;
};
constexpr Label Text(const wchar_t* text) { return Label{text, 0}; }
constexpr Label Id(UINT id) { return Label{nullptr, id}; }
constexpr Label kNoText = {nullptr, 0};

std::wstring LabelText(const Label& label);

struct LabelPair {
    Label name;
    Label description;
};

// A set of device type codes (all below 32), for the device-type rule tables.
struct TypeSet {
    UINT32 bits;
    bool Has(DWORD type) const { return type < 32 && ((bits >> type) & 1) != 0; }
};
constexpr TypeSet Types(std::initializer_list<DWORD> types)
{
    UINT32 bits = 0;
    for (DWORD type : types)
        bits |= 1u << type;
    return TypeSet{bits};
}

// ---- Number formats ----

// "%dh %dmin": whole hours and the remaining quarters as minutes (10 gives 2h 30min).
std::wstring QuarterHourText(UINT32 quarters);
// Hours as "%dh %dmin", whole hours and minutes truncated in single precision.
// False for a value without whole hours in int range (NaN, infinite, too large):
// such a value is no reading at all.
bool HoursText(float hours, std::wstring& text);
// Eight characters "0" or "1", bit 7 first.
std::wstring BitsText(BYTE bits);
// A temperature statistic in quarter degrees: "%.2f °C" of the value times 0.25.
std::wstring QuarterDegreesText(INT16 quarters);
// "%.2f dB".
std::wstring DecibelText(float decibels);
// "%.2f".
std::wstring FloatText(float value);
// "Yes" for nonzero, else "No".
const wchar_t* YesNoText(DWORD value);

// Writes tests through the scan's writer with the result conventions of the unit
// and panel groups, and reads through the group's own library binding.
class UnitWriter {
public:
    UnitWriter(DeviceInterface& device, ReportWriter& writer) : m_device(device), m_writer(writer) {}

    ReportWriter& Writer() { return m_writer; }
    DeviceInterface& Device() { return m_device; }

    // BeginTest; a description of kNoText gives the writer's placeholder.
    void Begin(const Label& name, const Label& description = kNoText);
    void Begin(const std::wstring& name, const Label& description = kNoText);
    void Result(const std::wstring& text, int format, int status = kPassed);
    // The system's text of the error, "String", "Failed".
    void Error(DWORD code);
    // "N/A" (string 261), "Passed".
    void NotAvailable(int format = kFmtString);
    void End() { m_writer.EndTest(); }

    // A whole test that passed.
    void Passed(const Label& name, const Label& description, const std::wstring& text, int format);

protected:
    DeviceInterface& m_device;
    ReportWriter& m_writer;
};

// Calls an entry point that may be missing from the library; a missing one fails
// with ERROR_PROC_NOT_FOUND, so its error text says what happened.
template <typename EntryPoint, typename... Args>
bool Call(EntryPoint entryPoint, Args... args)
{
    if (!entryPoint) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    return entryPoint(args...) != 0;
}

// An operating counter of IxaGetStatisticsValue: read as 32 bits and, when the
// device answers 87 (no such value of that width), again as 16 bits.
struct CounterReading {
    bool ok;
    UINT32 value;
    DWORD error;  // last error of the last read, when not ok
};
CounterReading ReadCounter(DeviceInterface& device, UINT selector);

}  // namespace kv
