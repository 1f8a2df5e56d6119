// The reports a command over many reports reads: files as named, folders by their .xml
// files (and those of their subfolders with --recursive).
#pragma once

#include <string>
#include <vector>

namespace kvreport {

// A folder without .xml files is named on the error output.
std::vector<std::wstring> CollectInputs(const std::vector<std::wstring>& arguments, bool recursive);

// Writes bytes to path unless that would replace one of the inputs; false with the
// reason told on the error output. what names the inputs: "summarised".
bool WriteOutputFile(const std::wstring& path, const std::string& bytes, const std::vector<std::wstring>& inputs,
                     const wchar_t* what);

}  // namespace kvreport
