// Comparing firmware version texts, without any Windows call.
#pragma once

namespace kv {

// Compares two version texts character by character, ASCII letters folded to
// lower case: "1.9" is above "1.10", "1.1" below it. Negative, 0 or positive.
int CompareVersionText(const wchar_t* left, const wchar_t* right);

}  // namespace kv
