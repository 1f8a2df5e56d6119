// The raw dump: 16 bytes a line that read back as the block, and trailing 0xFF
// bytes beyond the first 256 counted in the remark instead.
#include "device/raw_dump.h"
#include "fuzz_input.h"

using kvfuzz::Require;

namespace {

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = L"old text";
    kv::FormatRawData(data, size, text);

    size_t shown = size;
    while (shown > 256 && data[shown - 1] == 0xFF)
        --shown;
    std::wstring remark;
    if (shown < size)
        remark = L"\r\n(remaining " + std::to_wstring(size - shown) + L" bytes are FF)";
    Require(text.size() >= remark.size() && text.compare(text.size() - remark.size(), remark.size(), remark) == 0,
            "the remark counts exactly the trailing 0xFF bytes beyond the first 256");
    text.resize(text.size() - remark.size());

    std::vector<uint8_t> read;
    for (size_t i = 0; i < text.size();) {
        Require(text.compare(i, 2, L"\r\n") == 0, "every line starts with a line break");
        i += 2;
        size_t digits = 0;
        while (i + digits < text.size() && text[i + digits] != L'\r')
            ++digits;
        Require(digits % 2 == 0 && digits > 0 && digits <= 32, "a line holds one to sixteen bytes");
        Require(digits == 32 || i + digits == text.size(), "only the last line is short");
        for (size_t d = 0; d < digits; d += 2) {
            const int high = HexValue(text[i + d]);
            const int low = HexValue(text[i + d + 1]);
            Require(high >= 0 && low >= 0, "bytes are upper-case hexadecimal digits");
            read.push_back(static_cast<uint8_t>(high * 16 + low));
        }
        i += digits;
    }
    Require(read == std::vector<uint8_t>(data, data + shown), "the lines read back as the block");
    return 0;
}
