// The hexadecimal dump of a raw data block, built without any Windows call.
#pragma once

#include <cstddef>
#include <string>

namespace kv {

// Hexadecimal dump: a line break and 16 bytes ("%02X" each) per line; trailing 0xFF
// bytes beyond the first 256 are summarised in a final remark.
void FormatRawData(const unsigned char* bytes, size_t length, std::wstring& text);

}  // namespace kv
