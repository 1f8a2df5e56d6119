#include "tools/kvreport/report_inputs.h"

#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"

namespace kvreport {

std::vector<std::wstring> CollectInputs(const std::vector<std::wstring>& arguments, bool recursive)
{
    std::vector<std::wstring> inputs;
    for (const std::wstring& argument : arguments) {
        if (!IsFolder(argument)) {
            inputs.push_back(argument);
            continue;
        }
        std::vector<std::wstring> found = ReportsInFolder(argument, recursive);
        if (found.empty())
            WriteLine(Stream::Err, argument + L": holds no .xml files");
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    return inputs;
}

bool WriteOutputFile(const std::wstring& path, const std::string& bytes, const std::vector<std::wstring>& inputs,
                     const wchar_t* what)
{
    if (WouldReplaceInput(path, inputs)) {
        WriteLine(Stream::Err, path + L": is one of the reports " + what + L"; it is not written");
        return false;
    }
    DWORD result = WriteFileReplacing(path, bytes);
    if (result != ERROR_SUCCESS) {
        WriteLine(Stream::Err, path + L": cannot be written: " + SystemMessage(result));
        return false;
    }
    return true;
}

}  // namespace kvreport
