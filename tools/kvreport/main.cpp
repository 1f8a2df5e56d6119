// KvReport.exe: what the people who receive reports of Kavrol Inspectra do next.
#include "tools/kvreport/check_command.h"
#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/diff_command.h"
#include "tools/kvreport/json_command.h"
#include "tools/kvreport/redact_command.h"
#include "tools/kvreport/summary_command.h"
#include "tools/kvreport/table_command.h"

#include "device/win_handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Command {
    const wchar_t* name;
    int (*run)(const std::vector<std::wstring>& args);
    const wchar_t* usage;
};
const Command kCommands[] = {
    {L"diff", kvreport::RunDiff, kvreport::kDiffUsage},
    {L"summary", kvreport::RunSummary, kvreport::kSummaryUsage},
    {L"redact", kvreport::RunRedact, kvreport::kRedactUsage},
    {L"json", kvreport::RunJson, kvreport::kJsonUsage},
    {L"check", kvreport::RunCheck, kvreport::kCheckUsage},
    {L"table", kvreport::RunTable, kvreport::kTableUsage},
};

const wchar_t kHelpText[] =
    L"  diff     what changed between two scans of a device, test by test: counters with their change\r\n"
    L"           (those that went down first), measured values that moved by more than --tolerance\r\n"
    L"           percent (default 5), parts added or removed; it says when the two are different\r\n"
    L"           devices. Exit code 0: no differences, 1: differences, 2: error.\r\n"
    L"  summary  one row per report (files, or the .xml files of folders) with the device's serial\r\n"
    L"           number and User Serial ID, devices with alarms and failed tests first; --csv and\r\n"
    L"           --html write the table into files, the page linking every report's page.\r\n"
    L"  redact   the report without computer name, author, registered owner and organization, User\r\n"
    L"           Serial ID, serial numbers and raw dumps (--keep names those to leave: computer,\r\n"
    L"           author, owner, organization, user-serial-id, serial, raw), with its stylesheet and\r\n"
    L"           page beside it, written only when none of those values is found in any of them\r\n"
    L"           (--no-verify skips that search). A folder is redacted into another folder, each\r\n"
    L"           report named after its computer's placeholder, the same placeholder for the same\r\n"
    L"           value in every report.\r\n"
    L"  json     the report as UTF-8 JSON, into OUT.json or to the standard output.\r\n"
    L"  check    the rules of the report format the schema cannot state: results against their\r\n"
    L"           Format, numbering, header. Exit code 0: none broken, 1: findings, 2: error.\r\n"
    L"  table    one row per test of every report, for a query engine: CSV or JSON lines.\r\n"
    L"           --recursive reads the subfolders of folders too (summary, table and check).\r\n"
    L"           --threads N reads on N threads (summary and table; as many as processors unless\r\n"
    L"           given).\r\n"
    L"\r\n"
    L"Reports are read, never changed; a report whose scan was stopped is read as far as it goes and\r\n"
    L"marked incomplete. Exit code 2 means an error; files are written whole or not at all.\r\n";

int ShowHelp(kvreport::Stream stream)
{
    kvreport::WriteLine(stream, L"KvReport: compares, summarises, redacts, exports and checks reports of Kavrol Inspectra.");
    kvreport::WriteLine(stream);
    kvreport::WriteLine(stream, L"usage:");
    for (const Command& command : kCommands)
        kvreport::WriteLine(stream, std::wstring(L"  ") + command.usage);
    kvreport::WriteLine(stream, L"  KvReport help");
    kvreport::WriteLine(stream);
    kvreport::Write(stream, kHelpText);
    return stream == kvreport::Stream::Out ? 0 : 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return ShowHelp(kvreport::Stream::Err);
    std::wstring name = argv[1];
    if (name == L"help" || name == L"--help" || name == L"-h" || name == L"/?")
        return ShowHelp(kvreport::Stream::Out);

    std::vector<std::wstring> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (name != command.name)
            continue;
        kv::ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        return command.run(args);
    }
    kvreport::WriteLine(kvreport::Stream::Err, L"KvReport: unknown command " + name);
    return ShowHelp(kvreport::Stream::Err);
}
