#include "groups/platform/install_date.h"

namespace kv {
namespace {

// Reads two digits or four as a number; 0 when a character is not a digit.
unsigned DateField(const std::wstring& text, size_t start, size_t length)
{
    unsigned value = 0;
    for (size_t i = start; i < start + length; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return 0;
        value = value * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    return value;
}

// The number with leading zeros up to width digits, as "%0*u" writes it.
std::wstring ZeroPadded(unsigned value, size_t width)
{
    std::wstring digits = std::to_wstring(value);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), L'0');
    return digits;
}

}  // namespace

std::wstring FormatInstallDate(const std::wstring& installDate)
{
    if (installDate.size() != 8)
        return std::wstring();
    unsigned year = DateField(installDate, 0, 4);
    unsigned month = DateField(installDate, 4, 2);
    unsigned day = DateField(installDate, 6, 2);
    if (month > 12) {
        day = DateField(installDate, 0, 2);
        month = DateField(installDate, 2, 2);
        year = DateField(installDate, 4, 4);
    }
    return ZeroPadded(year, 4) + L'-' + ZeroPadded(month, 2) + L'-' + ZeroPadded(day, 2);
}

}  // namespace kv
