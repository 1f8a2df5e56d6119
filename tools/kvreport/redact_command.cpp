#include "tools/kvreport/redact_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/redaction_check.h"
#include "tools/kvreport/redactor.h"
#include "tools/kvreport/report_reader.h"
#include "tools/kvreport/report_writer.h"

#include "report/report_document.h"

#include <algorithm>
#include <set>

namespace kvreport {
namespace {

// What an output is named after when it is not named by the user: never the input's
// name, which holds the computer's ("KvInspectra<computer>.xml").
const wchar_t kUnnamedStem[] = L"Report";
const size_t kLongestStem = 100;

struct Options {
    unsigned keep = 0;
    bool verify = true;
};

// Where a redacted report goes: a file named by the user, or a folder in which it is
// named after its placeholders.
struct Destination {
    std::wstring path;
    bool folder;
};

bool IsFileNameStem(const std::wstring& stem)
{
    return !stem.empty() && stem.size() <= kLongestStem && stem.back() != L'.' && stem.back() != L' ' &&
           std::none_of(stem.begin(), stem.end(), [](wchar_t c) { return c < 0x20 || wcschr(L"<>:\"/\\|?*", c); });
}

// "Computer-1.xml", then "Computer-1_1.xml", ... for more reports of that computer.
std::wstring OutputName(const Report& report, std::set<std::wstring>& used)
{
    std::wstring stem = (report.header.fields & kHasComputerName) ? report.header.computerName : std::wstring();
    if (!IsFileNameStem(stem))
        stem = kUnnamedStem;
    std::wstring name = stem + L".xml";
    for (int i = 1; used.count(Folded(name)); ++i)
        name = stem + L"_" + std::to_wstring(i) + L".xml";
    used.insert(Folded(name));
    return name;
}

std::wstring ReplacedText(int count) { return std::to_wstring(count) + (count == 1 ? L" value" : L" values"); }

// The report, its stylesheet and its page; the page of an incomplete report is rendered
// from a closed copy, the report itself stays as it is.
DWORD WriteFiles(const Report& report, const std::wstring& xml, const std::wstring& xsl)
{
    DWORD result = WriteRenderedCopy(report, xml, xsl);
    if (result != ERROR_SUCCESS || report.complete)
        return result;
    return WriteReportFile(report, xml, kv::FileNameOf(xsl));
}

class Redaction {
public:
    explicit Redaction(const Options& options) : m_options(options), m_redactor(options.keep) {}

    Redactor& redactor() { return m_redactor; }
    ReportReader& reader() { return m_reader; }

    // Reads, redacts, writes and checks one report; false with the message told on failure.
    bool RedactOne(const std::wstring& input, const Destination& destination, std::wstring& error)
    {
        Report report;
        if (!m_reader.Read(input, report, error))
            return false;
        int replaced = m_redactor.Redact(report);
        std::wstring output =
            destination.folder ? JoinPath(destination.path, OutputName(report, m_used)) : destination.path;
        const std::wstring targets[] = {output, kv::SiblingPath(output.c_str(), L".xsl"),
                                        kv::SiblingPath(output.c_str(), L".html")};
        for (const std::wstring& target : targets)
            if (WouldReplaceInput(target, {input})) {
                error = target + L": would replace the report redacted or its stylesheet; nothing is written";
                return false;
            }
        if (!WriteChecked(report, targets, error))
            return false;
        std::wstring line = input + L" -> " + output + L": " + ReplacedText(replaced) + L" replaced";
        WriteLine(Stream::Out, report.complete ? line : line + L"; " + IncompleteText(report));
        return true;
    }

private:
    // Report, stylesheet and page are written into a folder of their own beside the
    // outputs, checked there and only then moved into place.
    bool WriteChecked(const Report& report, const std::wstring (&targets)[3], std::wstring& error)
    {
        TemporaryFolder folder(targets[0]);
        if (!folder.valid()) {
            error = targets[0] + L": cannot be written: " + SystemMessage(::GetLastError());
            return false;
        }
        std::vector<WrittenFile> files;
        for (const std::wstring& target : targets)
            files.push_back({JoinPath(folder.path(), kv::FileNameOf(target)), kv::FileNameOf(target)});
        DWORD result = WriteFiles(report, files[0].path, files[1].path);
        if (result != ERROR_SUCCESS) {
            error = targets[0] + L": cannot be written: " + SystemMessage(result);
            return false;
        }
        if (m_options.verify && !Clean(report, files, targets[0], error))
            return false;
        // The stylesheet and the page first: a report never stands without them. What
        // was moved goes again when a later move fails: all three or none.
        const size_t order[] = {1, 2, 0};
        for (size_t n = 0; n < 3; ++n) {
            result = MoveIntoPlace(files[order[n]].path, targets[order[n]]);
            if (result == ERROR_SUCCESS)
                continue;
            error = targets[order[n]] + L": cannot be written: " + SystemMessage(result);
            while (n-- > 0)
                ::DeleteFileW(targets[order[n]].c_str());
            return false;
        }
        return true;
    }

    bool Clean(const Report& report, const std::vector<WrittenFile>& files, const std::wstring& output,
               std::wstring& error)
    {
        std::vector<std::wstring> survivors =
            FindSurvivors(m_redactor.Values(), m_redactor.Placeholders(), Vocabulary(report), files);
        if (survivors.empty())
            return true;
        error = output + L": the redaction is not clean, so nothing is written; still there:";
        for (const std::wstring& survivor : survivors)
            error += L"\r\n  " + survivor;
        return false;
    }

    Options m_options;
    Redactor m_redactor;
    ReportReader m_reader;
    std::set<std::wstring> m_used;  // output names of this run, folded
};

int RedactFolder(Redaction& redaction, const std::wstring& input, const std::wstring& output)
{
    if (!IsFolder(output) && !::CreateDirectoryW(output.c_str(), nullptr))
        return Failure(output + L": the folder cannot be made: " + SystemMessage(::GetLastError()));
    if (SameFile(input, output))
        return Failure(output + L": is the folder of the reports redacted; nothing is written");
    std::vector<std::wstring> reports = ReportsInFolder(input);
    if (reports.empty())
        return Failure(input + L": holds no .xml files");
    std::vector<std::wstring> errors;
    {
        Progress progress(2 * reports.size());
        // Every private value of every report first: a value of one report may stand in another.
        std::vector<std::wstring> readable;
        for (size_t i = 0; i < reports.size(); ++i) {
            progress.Show(i, reports[i]);
            Report report;
            std::wstring error;
            if (redaction.reader().Read(reports[i], report, error)) {
                redaction.redactor().Learn(report);
                readable.push_back(reports[i]);
            } else {
                errors.push_back(error);
            }
        }
        for (size_t i = 0; i < readable.size(); ++i) {
            progress.Show(reports.size() + i, readable[i]);
            std::wstring error;
            if (!redaction.RedactOne(readable[i], {output, true}, error))
                errors.push_back(error);
        }
    }
    for (const std::wstring& error : errors)
        WriteLine(Stream::Err, error);
    return errors.empty() ? 0 : 2;
}

}  // namespace

int RunRedact(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    if (!ParseArguments(args, {{L"--keep", true}, {L"--verify", false, true}, {L"--no-verify", false, true}}, parsed,
                        error))
        return UsageError(kRedactUsage, error);
    if (parsed.positional.size() != 2)
        return UsageError(kRedactUsage, L"redact wants the report (or folder) to read and the one to write");
    if (parsed.Has(L"--verify") && parsed.Has(L"--no-verify"))
        return UsageError(kRedactUsage, L"--verify and --no-verify say the opposite");
    Options options;
    options.verify = !parsed.Has(L"--no-verify");
    if (parsed.Has(L"--keep") && !ParseKeep(parsed.options[L"--keep"], options.keep, error))
        return UsageError(kRedactUsage, error);

    Redaction redaction(options);
    const std::wstring& input = parsed.positional[0];
    const std::wstring& output = parsed.positional[1];
    if (IsFolder(input))
        return RedactFolder(redaction, input, output);
    if (!redaction.RedactOne(input, {output, IsFolder(output)}, error))
        return Failure(error);
    return 0;
}

}  // namespace kvreport
