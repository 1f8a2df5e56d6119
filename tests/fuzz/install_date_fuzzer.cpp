// The install date: "YYYY-MM-DD" for any eight characters, read as YYYYMMDD or,
// with a month above 12, as DDMMYYYY; nothing for any other length.
#include "fuzz_input.h"
#include "groups/platform/install_date.h"

using kvfuzz::Require;

namespace {

// The field's number, or 0 when a character is not a digit.
unsigned Field(const std::wstring& text, size_t start, size_t length)
{
    unsigned value = 0;
    for (size_t i = start; i < start + length; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return 0;
        value = value * 10 + (text[i] - L'0');
    }
    return value;
}

unsigned Shown(const std::wstring& date, size_t start, size_t length)
{
    for (size_t i = start; i < start + length; ++i)
        Require(date[i] >= L'0' && date[i] <= L'9', "the date shows digits only in its fields");
    return Field(date, start, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring given = kvfuzz::Utf16Units(data, size);
    const std::wstring date = kv::FormatInstallDate(given);
    if (given.size() != 8) {
        Require(date.empty(), "only eight characters make a date");
        return 0;
    }
    Require(date.size() == 10 && date[4] == L'-' && date[7] == L'-', "the date reads YYYY-MM-DD");
    const bool dayFirst = Field(given, 4, 2) > 12;
    Require(Shown(date, 0, 4) == (dayFirst ? Field(given, 4, 4) : Field(given, 0, 4)), "the year is read");
    Require(Shown(date, 5, 2) == (dayFirst ? Field(given, 2, 2) : Field(given, 4, 2)), "the month is read");
    Require(Shown(date, 8, 2) == (dayFirst ? Field(given, 0, 2) : Field(given, 6, 2)), "the day is read");
    return 0;
}
