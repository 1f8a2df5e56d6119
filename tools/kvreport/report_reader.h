// Reads reports of Kavrol Inspectra into the model, through MSXML 6. Every command
// of KvReport reads its reports here; none looks at the XML itself.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>

namespace kvreport {

// Reads the report file at path (UTF-16 little endian with byte-order mark, as the
// program writes it). COM must be initialised on the calling thread. On failure
// returns false with error naming the file, the line where one is known, and what
// is wrong; the file is only ever opened for reading.
bool ReadReport(const std::wstring& path, Report& report, std::wstring& error);

// The same for the text of a report already in memory (without the byte-order
// mark); path only names it in messages.
bool ParseReport(const std::wstring& path, const std::wstring& text, Report& report, std::wstring& error);

}  // namespace kvreport
