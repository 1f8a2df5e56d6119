// The text of one report line, built without any Windows call so that it can be
// checked and fuzzed on any platform. The texts are UTF-16 code units in wide strings.
#pragma once

#include <string>

namespace kv {

// Characters a tag line may hold, tabs, punctuation and CR LF included.
const size_t kMaxTagLineChars = 259;

// depth tabs, opening ("<" or "</"), the name, ">" and CR LF; false (line
// unchanged) when that exceeds kMaxTagLineChars. A null name counts as empty.
bool BuildTagLine(const wchar_t* opening, const wchar_t* name, int depth, std::wstring& line);

// One element on one line: one trailing line feed of the value and of the attribute
// value dropped, characters XML 1.0 forbids in the value replaced by U+FFFD, the
// value escaped ("&", quotation mark, "<", ">"), the attribute value as given.
// name and value must not be null; a null attributeName writes no attribute.
std::wstring BuildElementLine(const wchar_t* name, const wchar_t* value, const wchar_t* attributeName,
                              const wchar_t* attributeValue, int depth);

}  // namespace kv
