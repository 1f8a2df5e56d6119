// redact: the same report without the values that identify a site, a person or a
// device, for a support case or a public forum: written with its stylesheet and its page
// only after every file has been searched for every value it was to lose.
#pragma once

#include <string>
#include <vector>

namespace kvreport {

// KvReport redact IN.xml|FOLDER OUT.xml|FOLDER [--keep WHAT[,WHAT...]] [--no-verify]:
// 0, or 2 on an error or a value that survived (in a folder run, after the other
// reports are done).
int RunRedact(const std::vector<std::wstring>& args);

}  // namespace kvreport
