// The proof of a redaction: every file it wrote, and the names they go by, searched for
// every private value it was to take out, in every form a value may take there: the
// file's own encoding, 8-bit and UTF-16 text at either byte position, and the bytes of
// every hexadecimal dump (ASCII, UTF-16, binary). Values count as found where redact
// would have replaced them (private_values.h).
#pragma once

#include "tools/kvreport/private_values.h"
#include "tools/kvreport/redactor.h"

#include <string>
#include <vector>

namespace kvreport {

struct WrittenFile {
    std::wstring path;  // where it was written
    std::wstring name;  // the name it will go by
};

// One line per value found, naming it, what it is and where: "\"PC-7\" (computer name)
// in Computer-1.html". Empty for a clean redaction, or with a line on a file that
// cannot be read back.
std::vector<std::wstring> FindSurvivors(const std::vector<PrivateValue>& values,
                                        const std::vector<std::wstring>& placeholders, const Vocabulary& vocabulary,
                                        const std::vector<WrittenFile>& files);

}  // namespace kvreport
