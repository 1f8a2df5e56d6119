#include "groups/units/unit_writer.h"

#include "device/text_helpers.h"
#include "groups/group_base.h"

namespace kv {
namespace {

// Whole hours of a float reading must fit the int they are written as.
const float kHoursLimit = 2147483648.0f;  // 2^31

}  // namespace

std::wstring LabelText(const Label& label)
{
    if (label.text)
        return label.text;
    return label.id ? LoadResourceString(label.id) : std::wstring();
}

std::wstring QuarterHourText(UINT32 quarters)
{
    return Format(L"%dh %dmin", static_cast<int>(quarters / 4), static_cast<int>(quarters % 4 * 15));
}

bool HoursText(float hours, std::wstring& text)
{
    // Also false for NaN, which fails every comparison.
    if (!(hours > -kHoursLimit && hours < kHoursLimit))
        return false;
    const int whole = static_cast<int>(hours);
    const float minutes = (hours - static_cast<float>(whole)) * 60.0f;
    text = Format(L"%dh %dmin", whole, static_cast<int>(minutes));
    return true;
}

std::wstring BitsText(BYTE bits)
{
    std::wstring text;
    for (int bit = 7; bit >= 0; --bit)
        text += ((bits >> bit) & 1) ? L'1' : L'0';
    return text;
}

std::wstring QuarterDegreesText(INT16 quarters)
{
    const float degrees = static_cast<float>(quarters) * 0.25f;
    return Format(L"%.2f \u00B0C", static_cast<double>(degrees));
}

std::wstring DecibelText(float decibels) { return Format(L"%.2f dB", static_cast<double>(decibels)); }

std::wstring FloatText(float value) { return Format(L"%.2f", static_cast<double>(value)); }

const wchar_t* YesNoText(DWORD value) { return value ? L"Yes" : L"No"; }

CounterReading ReadCounter(DeviceInterface& device, UINT selector)
{
    UINT32 value = 0;
    if (Call(device.IxaGetStatisticsValue, selector, &value, static_cast<UINT>(sizeof value)))
        return CounterReading{true, value, ERROR_SUCCESS};
    DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_PARAMETER)
        return CounterReading{false, 0, error};
    UINT16 narrow = 0;
    if (Call(device.IxaGetStatisticsValue, selector, &narrow, static_cast<UINT>(sizeof narrow)))
        return CounterReading{true, narrow, ERROR_SUCCESS};
    return CounterReading{false, 0, ::GetLastError()};
}

void UnitWriter::Begin(const Label& name, const Label& description) { Begin(LabelText(name), description); }

void UnitWriter::Begin(const std::wstring& name, const Label& description)
{
    const std::wstring text = LabelText(description);
    m_writer.BeginTest(name.c_str(), text.empty() ? nullptr : text.c_str());
}

void UnitWriter::Result(const std::wstring& text, int format, int status)
{
    m_writer.WriteResult(text.c_str(), status, format);
}

void UnitWriter::Error(DWORD code) { m_writer.WriteResult(SystemErrorText(code), kFailed, kFmtString); }

void UnitWriter::NotAvailable(int format) { m_writer.WriteResult(kIdsNotAvailable, format); }

void UnitWriter::Passed(const Label& name, const Label& description, const std::wstring& text, int format)
{
    Begin(name, description);
    Result(text, format);
    End();
}

}  // namespace kv
