// The arguments of one KvReport command: positional ones and --options with a value.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kvreport {

struct OptionRule {
    const wchar_t* name;  // "--html"
    bool repeatable;      // may be given more than once (values collected)
    bool flag = false;    // takes no value ("--no-verify")
};

struct Arguments {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::vector<std::wstring>> options;

    bool Has(const std::wstring& name) const { return options.count(name) != 0; }
    // The value of a single option, empty when it was not given.
    std::wstring Value(const std::wstring& name) const;
};

// Splits args by the options allowed; "--name value" and "--name=value" both work.
// False with a message for an unknown option, a missing value or a single option
// given twice.
bool ParseArguments(const std::vector<std::wstring>& args, const std::vector<OptionRule>& rules,
                    Arguments& parsed, std::wstring& error);

// The number of reading threads --threads asks for (a whole number from 1 to 64), 0 when
// it is not given (as many as the machine has processors). False with a message otherwise.
bool ReaderThreadsOption(const Arguments& parsed, unsigned& threads, std::wstring& error);

// One line of usage per command, as help shows them.
extern const wchar_t kDiffUsage[];
extern const wchar_t kSummaryUsage[];
extern const wchar_t kRedactUsage[];
extern const wchar_t kJsonUsage[];
extern const wchar_t kCheckUsage[];
extern const wchar_t kTableUsage[];

// Tells what is wrong with a command's arguments and how it is used; returns exit code 2.
int UsageError(const wchar_t* usage, const std::wstring& problem);

// Tells the error and returns exit code 2.
int Failure(const std::wstring& message);

}  // namespace kvreport
