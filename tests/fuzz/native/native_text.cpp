// The simulated library's UTF-8 conversions for the native build: strict UTF-8 in,
// UTF-16 code units (one per wchar_t) out, as the system's converters do on Windows.
#include "text.h"

namespace kvsim {
namespace {

bool ContinuationBytes(const std::string& text, size_t& i, int count, unsigned long& code)
{
    for (int k = 0; k < count; ++k) {
        if (++i >= text.size())
            return false;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80)
            return false;
        code = (code << 6) | (c & 0x3F);
    }
    return true;
}

}  // namespace

bool Utf8ToWide(const std::string& text, std::wstring& wide)
{
    wide.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        unsigned long code = 0;
        unsigned long minimum = 0;
        int more = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F, more = 1, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F, more = 2, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07, more = 3, minimum = 0x10000;
        } else {
            return false;
        }
        if (!ContinuationBytes(text, i, more, code) || code < minimum || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(code);
        }
    }
    return true;
}

std::string WideToUtf8(const std::wstring& wide)
{
    std::string text;
    for (size_t i = 0; i < wide.size(); ++i) {
        unsigned long code = static_cast<unsigned long>(wide[i]) & 0xFFFF;
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() && (wide[i + 1] & 0xFC00) == 0xDC00)
            code = 0x10000 + ((code - 0xD800) << 10) + ((static_cast<unsigned long>(wide[++i]) & 0xFFFF) - 0xDC00);
        else if (code >= 0xD800 && code <= 0xDFFF)
            code = 0xFFFD;  // a lone surrogate, as the system's converter replaces it
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

}  // namespace kvsim
