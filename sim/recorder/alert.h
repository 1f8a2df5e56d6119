// A failure the technician must see before sending the recording away: a
// recording made without the real library or without its file is worthless,
// and a program's standard error is seen by nobody.
#pragma once

#include <string>

namespace kvrec {

// Writes "KvIxa recorder: <text>" to standard error and to the trace file.
void ReportFailure(const std::string& text) noexcept;

// ReportFailure, then a message box with the text (UTF-8) that returns when it
// is answered, at once without a display. Never from DllMain, never while
// holding a lock other calls need.
void ShowFailure(const std::string& text) noexcept;

}  // namespace kvrec
