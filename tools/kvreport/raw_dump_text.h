// The bytes behind a raw dump (Format "Raw") as the program lays them out: a line
// break, then 16 bytes a line as 32 upper-case hexadecimal digits, and for a block of
// more than 256 bytes that ends in FF bytes a last line "(remaining N bytes are FF)".
#pragma once

#include <string>
#include <vector>

namespace kvreport {

// The bytes of a dump whose text keeps to that layout (line breaks as the parser hands
// them over: single line feeds); otherwise false with what breaks the layout. The
// trailing FF bytes of the remark are appended.
bool ParseRawDump(const std::wstring& text, std::vector<unsigned char>& bytes, std::wstring& problem);

}  // namespace kvreport
