// What redact takes out of a report: the values that identify a site, a person or a
// device (computer name, author, registered owner and organisation, User Serial ID,
// serial numbers), wherever they stand, and every raw dump, which may hold any of them.
// Each value gets a placeholder such as "Serial-3"; within one run the same value gets
// the same placeholder in every report, so a redacted fleet still compares.
#pragma once

#include "tools/kvreport/report_model.h"

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

struct PrivateValue {
    std::wstring value;
    std::wstring placeholder;  // "Serial-3"
    const wchar_t* what;       // "serial number": how a message names it
};

class Redactor {
public:
    explicit Redactor(unsigned keep) : m_keep(keep) {}

    // Takes note of the private values of report and gives each its placeholder, leaving
    // the report as it is: a folder is read once for this before it is redacted, so that
    // a value of one report is also found in every other.
    void Learn(const Report& report);

    // Replaces the private values of report in place (learning them first) and marks it
    // as redacted; returns how many values were replaced.
    int Redact(Report& report);

    // Every private value learnt so far: what must not be in any output.
    const std::vector<PrivateValue>& Values() const { return m_values; }
    // Every placeholder given so far, raw dumps' included.
    std::vector<std::wstring> Placeholders() const;

private:
    std::wstring Placeholder(const wchar_t* kind, const wchar_t* what, const std::wstring& value);
    bool RawDumpStays(const std::wstring& dump) const;

    unsigned m_keep;
    std::map<std::wstring, size_t> m_byKindAndValue;  // into m_values
    std::map<std::wstring, int> m_counters;           // per kind
    std::vector<PrivateValue> m_values;
    std::map<std::wstring, std::wstring> m_rawDumps;  // dump -> placeholder
};

}  // namespace kvreport
