// The small HTML pages of diff and summary: self-contained, UTF-8; a script, where one
// is given, only adds to a page that works without it.
#pragma once

#include <string>

namespace kvreport {

// Text made safe for element content and quoted attribute values.
std::wstring HtmlEscape(const std::wstring& text);

// A complete page as UTF-8 bytes; body is HTML already escaped, script plain script
// run at the end of the body.
std::string HtmlPage(const std::wstring& title, const std::wstring& body, const wchar_t* script = nullptr);

}  // namespace kvreport
