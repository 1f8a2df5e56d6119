#include "groups/platform/version_text.h"

namespace kv {
namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

int CompareVersionText(const wchar_t* left, const wchar_t* right)
{
    for (;; ++left, ++right) {
        const wchar_t l = FoldAscii(*left);
        const wchar_t r = FoldAscii(*right);
        if (l != r)
            return l < r ? -1 : 1;
        if (l == L'\0')
            return 0;
    }
}

}  // namespace kv
