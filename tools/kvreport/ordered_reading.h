// Reads many reports on as many threads as the machine has cores and hands them on in
// the order given, so that a run over a fleet is as fast as the machine allows and its
// output is the same on every run.
#pragma once

#include "tools/kvreport/report_model.h"

#include <functional>
#include <string>
#include <vector>

namespace kvreport {

// For each path: work(index, report) on a worker thread (COM initialised there) when the
// report could be read; then done(index, error) on the calling thread, in the order of
// paths, error empty or naming the file and what is wrong with it. A worker reads at
// most a few reports ahead of the one done last, so memory holds only a few reports at
// once however many there are. work must touch only what belongs to its index. threads
// is the number of workers, 0 for one per processor.
void ReadReportsInOrder(const std::vector<std::wstring>& paths,
                        const std::function<void(size_t index, const Report& report)>& work,
                        const std::function<void(size_t index, const std::wstring& error)>& done,
                        unsigned threads = 0);

}  // namespace kvreport
