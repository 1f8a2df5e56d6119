// diff: what changed between two scans of a device. Tests are matched by group,
// category, subcategory and test name (and, among equal names, by their order), not
// by their numbers, which shift when a group comes or goes. A group, category or
// subcategory that came or went whole is one change, not one per test.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>
#include <vector>

namespace kvreport {

// In the order the comparison shows them.
enum class ChangeKind {
    Header,
    Status,
    Counter,
    Result,
    Measured,
    TestAdded,
    TestRemoved,
    SubCategoryAdded,
    SubCategoryRemoved,
    CategoryAdded,
    CategoryRemoved,
    GroupAdded,
    GroupRemoved,
};

struct Change {
    ChangeKind kind;
    std::wstring label;   // the test ("Group > Category > Test"), part or header field
    std::wstring before;  // display texts; empty for what is not there
    std::wstring after;
    std::wstring note;    // the results beside a status change, the amount of a counter or drift
    // Shown first and marked: a status that went from "Passed" to "Failed" or "Alarm",
    // a counter that went down.
    bool worse = false;
};

struct Comparison {
    std::vector<Change> changes;  // sorted by kind, worse ones first
    double tolerance = 5;
    // What tells the two reports apart as devices ("device type A -> B; serial number
    // X -> Y"), empty when they may be one device.
    std::wstring differentDevices;
};

const double kDefaultTolerance = 5;

// Counters (counters.h) are shown with their change. Measured values (temperatures,
// fan speeds, voltages, currents, power, memory figures) count as changed only when
// they move by more than tolerance percent of the old value, percentages by more than
// tolerance points.
Comparison CompareReports(const Report& before, const Report& after, double tolerance);

std::wstring ComparisonText(const Report& before, const Report& after, const Comparison& comparison);
std::string ComparisonHtml(const Report& before, const Report& after, const Comparison& comparison);

// KvReport diff OLD.xml NEW.xml [--tolerance PERCENT] [--html FILE]: 0 when the two
// reports do not differ, 1 when they do, 2 on an error.
int RunDiff(const std::vector<std::wstring>& args);

}  // namespace kvreport
