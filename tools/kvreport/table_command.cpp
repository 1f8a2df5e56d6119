#include "tools/kvreport/table_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/ordered_reading.h"
#include "tools/kvreport/report_inputs.h"
#include "tools/kvreport/table_rows.h"

#include "device/win_handles.h"

#include <memory>

namespace kvreport {
namespace {

struct OutputOption {
    const wchar_t* option;
    TableFormat format;
};
const OutputOption kOutputs[] = {
    {L"--csv", TableFormat::Csv},
    {L"--jsonl", TableFormat::JsonLines},
};

// One table being written: under a temporary name beside its path, moved into place at
// the end, so that an existing table is replaced only by a whole one.
class TableFile {
public:
    TableFile(const std::wstring& path, TableFormat format) : m_path(path), m_format(format) {}
    ~TableFile()
    {
        m_file.reset();
        if (!m_temporary.empty())
            ::DeleteFileW(m_temporary.c_str());
    }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const std::wstring& path() const { return m_path; }
    TableFormat format() const { return m_format; }

    // False with the error told.
    bool Open()
    {
        m_temporary = TemporaryFileBeside(m_path);
        if (!m_temporary.empty())
            m_file.reset(::CreateFileW(m_temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file)
            Failed(::GetLastError());
        return (m_file && Write(TableHeader(m_format))) || Tell();
    }

    // After a failed write, the later ones do nothing: the error is told once, at the end.
    bool Write(const std::string& bytes)
    {
        DWORD written = 0;
        if (m_error != ERROR_SUCCESS || bytes.empty())
            return m_error == ERROR_SUCCESS;
        if (!::WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            return Failed(::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT);
        return true;
    }

    // Moves the finished table into place; false with the error told.
    bool Finish()
    {
        if (m_error == ERROR_SUCCESS && !::CloseHandle(m_file.release()))
            Failed(::GetLastError());
        if (m_error == ERROR_SUCCESS) {
            m_error = MoveIntoPlace(m_temporary, m_path);
            m_temporary.clear();
        }
        return m_error == ERROR_SUCCESS || Tell();
    }

private:
    bool Tell()
    {
        WriteLine(Stream::Err, m_path + L": cannot be written: " + SystemMessage(m_error));
        return false;
    }

    bool Failed(DWORD error)
    {
        m_error = error ? error : ERROR_WRITE_FAULT;
        return false;
    }

    std::wstring m_path;
    TableFormat m_format;
    std::wstring m_temporary;
    kv::UniqueFile m_file;
    DWORD m_error = ERROR_SUCCESS;
};

struct Counts {
    size_t reports = 0;
    size_t rows = 0;
    size_t incomplete = 0;
};

std::wstring CountsText(const Counts& counts)
{
    std::wstring text = std::to_wstring(counts.rows) + (counts.rows == 1 ? L" row of " : L" rows of ") +
                        std::to_wstring(counts.reports) + (counts.reports == 1 ? L" report" : L" reports");
    if (counts.incomplete)
        text += L", " + std::to_wstring(counts.incomplete) + L" of them incomplete";
    return text;
}

// The rows of every readable report into every table, in the order of inputs; the
// messages of the unreadable ones are returned.
std::vector<std::wstring> WriteRows(const std::vector<std::wstring>& inputs,
                                    std::vector<std::unique_ptr<TableFile>>& tables, unsigned threads, Counts& counts)
{
    // Filled by the workers, emptied when written: only the reports in flight hold rows.
    std::vector<std::vector<std::string>> rows(inputs.size());
    std::vector<Counts> found(inputs.size());
    std::vector<std::wstring> unreadable;
    Progress progress(inputs.size());
    ReadReportsInOrder(
        inputs,
        [&](size_t index, const Report& report) {
            for (const auto& table : tables)
                rows[index].push_back(TableRows(report, table->format()));
            found[index] = {1, static_cast<size_t>(CountTests(report).tests), report.complete ? 0u : 1u};
        },
        [&](size_t index, const std::wstring& error) {
            progress.Show(index, inputs[index]);
            if (!error.empty()) {
                unreadable.push_back(error);
                return;
            }
            for (size_t t = 0; t < tables.size(); ++t)
                tables[t]->Write(rows[index][t]);
            std::vector<std::string>().swap(rows[index]);
            counts.reports += found[index].reports;
            counts.rows += found[index].rows;
            counts.incomplete += found[index].incomplete;
        },
        threads);
    return unreadable;
}

}  // namespace

int RunTable(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    unsigned threads = 0;
    if (!ParseArguments(args,
                        {{L"--csv", false}, {L"--jsonl", false}, {L"--recursive", false, true}, {L"--threads", false}},
                        parsed, error) ||
        !ReaderThreadsOption(parsed, threads, error))
        return UsageError(kTableUsage, error);
    if (parsed.positional.empty())
        return UsageError(kTableUsage, L"table wants reports or folders of reports");
    if (!parsed.Has(L"--csv") && !parsed.Has(L"--jsonl"))
        return UsageError(kTableUsage, L"table wants --csv or --jsonl and the file to write");
    if (parsed.Has(L"--csv") && parsed.Has(L"--jsonl") && parsed.Value(L"--csv") == parsed.Value(L"--jsonl"))
        return UsageError(kTableUsage, L"--csv and --jsonl name the same file");

    std::vector<std::wstring> inputs = CollectInputs(parsed.positional, parsed.Has(L"--recursive"));
    if (inputs.empty())
        return Failure(L"KvReport: no report to put in the table");
    std::vector<std::unique_ptr<TableFile>> tables;
    for (const OutputOption& output : kOutputs) {
        if (!parsed.Has(output.option))
            continue;
        const std::wstring path = parsed.Value(output.option);
        if (WouldReplaceInput(path, inputs))
            return Failure(path + L": is one of the reports read; nothing is written");
        tables.push_back(std::make_unique<TableFile>(path, output.format));
        if (!tables.back()->Open())
            return 2;
    }

    Counts counts;
    std::vector<std::wstring> unreadable = WriteRows(inputs, tables, threads, counts);
    // Told after the progress line is gone.
    for (const std::wstring& message : unreadable)
        WriteLine(Stream::Err, message);
    if (counts.reports == 0)
        return Failure(L"KvReport: no report to put in the table");
    bool failed = !unreadable.empty();
    for (const auto& table : tables) {
        if (!table->Finish()) {
            failed = true;
            continue;
        }
        WriteLine(Stream::Out, table->path() + L": " + CountsText(counts));
    }
    return failed ? 2 : 0;
}

}  // namespace kvreport
