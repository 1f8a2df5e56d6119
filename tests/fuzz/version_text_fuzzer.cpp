// Version texts: ordered character by character, ASCII letters without their case.
#include "fuzz_input.h"
#include "groups/platform/version_text.h"

using kvfuzz::Require;

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

std::wstring FoldAscii(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

}  // namespace

// UTF-16 units: two texts separated by NUL.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::wstring> t = kvfuzz::SplitAtNul(kvfuzz::Utf16Units(data, size));
    t.resize(2);
    const int order = Sign(kv::CompareVersionText(t[0].c_str(), t[1].c_str()));
    Require(order == Sign(FoldAscii(t[0]).compare(FoldAscii(t[1]))), "texts compare as their folded characters");
    Require(order == -Sign(kv::CompareVersionText(t[1].c_str(), t[0].c_str())), "the order is antisymmetric");
    return 0;
}
