#include "device/raw_dump.h"

namespace kv {

void FormatRawData(const unsigned char* bytes, size_t length, std::wstring& text)
{
    size_t shown = length;
    while (shown > 256 && bytes[shown - 1] == 0xFF)
        --shown;
    text.clear();
    text.reserve(shown * 2 + shown / 8 + 32);
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (size_t i = 0; i < shown; ++i) {
        if (i % 16 == 0)
            text += L"\r\n";
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    if (shown < length)
        text += L"\r\n(remaining " + std::to_wstring(static_cast<int>(length - shown)) + L" bytes are FF)";
}

}  // namespace kv
