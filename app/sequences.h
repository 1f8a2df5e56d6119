// The two fixed test sequences. Their order is the order of the report.
#pragma once

#include "groups/group_base.h"

#include <memory>

namespace kv {

using GroupFactory = std::unique_ptr<CTest> (*)(ReportWriter* writer);

struct Sequence {
    const GroupFactory* groups;  // fixed part, in running order
    int groupCount;
    bool withModules;            // sequence A: PC modules and panel modules follow
    int progressMaximum;
};

// Devices whose library offers the module entry points.
const Sequence& SequenceA();
// Every other device.
const Sequence& SequenceB();

// Sequence A's module objects, one per module position.
std::unique_ptr<CTest> MakePcModule(ReportWriter* writer, BYTE module);
std::unique_ptr<CTest> MakePanelModule(ReportWriter* writer, BYTE panel, BYTE module);

const int kPcModuleCount = 16;
const int kPanelCount = 16;
const int kPanelModuleCount = 5;

}  // namespace kv
