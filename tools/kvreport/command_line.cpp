#include "tools/kvreport/command_line.h"

#include "tools/kvreport/console.h"

#include <algorithm>

namespace kvreport {

const wchar_t kDiffUsage[] = L"KvReport diff OLD.xml NEW.xml [--tolerance PERCENT] [--html FILE]";
const wchar_t kSummaryUsage[] =
    L"KvReport summary FILE|FOLDER... [--csv FILE] [--html FILE] [--recursive] [--threads N]";
const wchar_t kRedactUsage[] =
    L"KvReport redact IN.xml|FOLDER OUT.xml|FOLDER [--keep WHAT[,WHAT...]] [--no-verify]";
const wchar_t kJsonUsage[] = L"KvReport json IN.xml [OUT.json]";
const wchar_t kCheckUsage[] = L"KvReport check FILE|FOLDER... [--recursive]";
const wchar_t kTableUsage[] =
    L"KvReport table FILE|FOLDER... --csv OUT | --jsonl OUT [--recursive] [--threads N]";

int UsageError(const wchar_t* usage, const std::wstring& problem)
{
    WriteLine(Stream::Err, L"KvReport: " + problem);
    WriteLine(Stream::Err, std::wstring(L"usage: ") + usage);
    return 2;
}

int Failure(const std::wstring& message)
{
    WriteLine(Stream::Err, message);
    return 2;
}

std::wstring Arguments::Value(const std::wstring& name) const
{
    auto found = options.find(name);
    return found == options.end() || found->second.empty() ? std::wstring() : found->second.back();
}

bool ParseArguments(const std::vector<std::wstring>& args, const std::vector<OptionRule>& rules,
                    Arguments& parsed, std::wstring& error)
{
    parsed = Arguments();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, L"--") != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        size_t equals = arg.find(L'=');
        std::wstring name = arg.substr(0, equals);
        const OptionRule* rule = nullptr;
        for (const OptionRule& candidate : rules)
            if (name == candidate.name)
                rule = &candidate;
        if (!rule) {
            error = L"unknown option " + name;
            return false;
        }
        std::wstring value;
        if (rule->flag) {
            if (equals != std::wstring::npos) {
                error = name + L" takes no value";
                return false;
            }
            parsed.options[name].push_back(value);
            continue;
        }
        if (equals != std::wstring::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + L" needs a value";
            return false;
        }
        if (value.empty()) {
            error = name + L" needs a value";
            return false;
        }
        std::vector<std::wstring>& values = parsed.options[name];
        if (!values.empty() && !rule->repeatable) {
            error = name + L" is given twice";
            return false;
        }
        values.push_back(value);
    }
    return true;
}

bool ReaderThreadsOption(const Arguments& parsed, unsigned& threads, std::wstring& error)
{
    threads = 0;
    if (!parsed.Has(L"--threads"))
        return true;
    const std::wstring value = parsed.Value(L"--threads");
    if (value.size() <= 2 && std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        threads = static_cast<unsigned>(std::stoul(value));
    if (threads >= 1 && threads <= 64)
        return true;
    threads = 0;
    error = L"--threads wants a number from 1 to 64, not " + value;
    return false;
}

}  // namespace kvreport
