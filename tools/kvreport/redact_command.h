// redact: the same report without the values that identify a site, a person or a
// device (computer name, author, registered owner and organisation, User Serial ID,
// serial numbers and the raw factory data that holds them), for a support case or a
// public forum. Every value gets a placeholder such as "Serial-3"; within one run the
// same value gets the same placeholder in every report, so a redacted fleet still
// compares.
#pragma once

#include "tools/kvreport/report_model.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace kvreport {

enum RedactField : unsigned {
    kRedactComputer = 1,
    kRedactAuthor = 2,
    kRedactOwner = 4,
    kRedactOrganization = 8,
    kRedactUserSerialId = 16,
    kRedactSerial = 32,
    kRedactRaw = 64,
};

// The --keep values ("computer", "author", ...; comma-separated or repeated) as fields
// to leave as they are.
bool ParseKeep(const std::vector<std::wstring>& values, unsigned& keep, std::wstring& error);

// What the header's Version says after redaction.
extern const wchar_t kRedactedMark[];

class Redactor {
public:
    explicit Redactor(unsigned keep) : m_keep(keep) {}

    // Replaces the private values of report in place and marks it as redacted; returns
    // how many values were replaced. Values already seen in an earlier report keep
    // their placeholder.
    int Redact(Report& report);

private:
    std::wstring Placeholder(const std::wstring& kind, const std::wstring& value);
    int ReplaceInText(std::wstring& text) const;

    unsigned m_keep;
    std::map<std::wstring, std::wstring> m_placeholders;  // kind and value -> placeholder
    std::map<std::wstring, int> m_counters;               // per kind
    std::vector<std::pair<std::wstring, std::wstring>> m_replaced;  // value, placeholder; longest first
};

// Writes report in the program's own layout (UTF-16 with byte-order mark, one element
// per line, the writer's indentation) to path and the stylesheet beside it, both under
// temporary names moved into place. Returns 0 or a Win32 error code.
DWORD WriteReport(const Report& report, const std::wstring& path);

// KvReport redact IN.xml|FOLDER OUT.xml|FOLDER [--keep WHAT[,WHAT...]]: 0, or 2 on an
// error (in a folder run, after the other reports are done).
int RunRedact(const std::vector<std::wstring>& args);

}  // namespace kvreport
