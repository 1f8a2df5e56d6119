// Reads reports of Kavrol Inspectra into the model, through MSXML 6. Every command
// of KvReport reads its reports here; none looks at the XML itself.
#pragma once

#include "tools/kvreport/report_model.h"

#include "device/win_handles.h"

#include <string>

struct ISAXXMLReader;

namespace kvreport {

class ReportHandler;

// Keeps one SAX reader of MSXML 6 for every report it reads (making one costs more than
// a small report's parse under Wine). Use it on one thread, with COM initialised there
// for its whole life.
class ReportReader {
public:
    ReportReader();
    ~ReportReader();
    ReportReader(const ReportReader&) = delete;
    ReportReader& operator=(const ReportReader&) = delete;

    // Reads the report file at path (UTF-16 little endian with byte-order mark, as the
    // program writes it). On failure returns false with error naming the file, the line
    // where one is known, and what is wrong; the file is only ever opened for reading.
    bool Read(const std::wstring& path, Report& report, std::wstring& error);

    // The same for the text of a report already in memory (without the byte-order mark);
    // path only names it in messages.
    bool Parse(const std::wstring& path, const wchar_t* text, size_t length, Report& report, std::wstring& error);

private:
    HRESULT Run(const wchar_t* text, size_t length, const std::wstring& end, ReportHandler& handler);

    kv::ComPtr<ISAXXMLReader> m_sax;
    HRESULT m_made;
};

// One report with a reader of its own.
bool ReadReport(const std::wstring& path, Report& report, std::wstring& error);
bool ParseReport(const std::wstring& path, const std::wstring& text, Report& report, std::wstring& error);

}  // namespace kvreport
