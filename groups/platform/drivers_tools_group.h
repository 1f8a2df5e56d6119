// Drivers and tools group: which of the maker's drivers and tools are installed,
// in which version, and the path, version, date and size of each of their files.
// Everything comes from the registry and the file system; the device library is
// asked only for the device type.
#pragma once

#include "groups/group_base.h"
#include "groups/platform/install_date.h"

#include <optional>
#include <string>

namespace kv {

namespace drivers {
struct Product;
struct IxaDriverFile;

// The folders a driver or tool file is looked for in; empty when unknown.
struct FileBases {
    std::optional<std::wstring> installLocation;  // the product's uninstall entry
    std::optional<std::wstring> ixaInstallPath;   // the IXA driver key
    std::optional<std::wstring> systemDirectory;
};
}  // namespace drivers

// The three texts of a product's uninstall entry.
struct UninstallEntry {
    std::wstring installLocation;
    std::wstring setupVersion;
    std::wstring installDate;
};

class CTestKvDriversAndTools : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    class Redirection;

    void WriteIxaDriverProductInformation();
    void WriteIxaDriverFiles();
    void WriteIxaDriverFile(const drivers::IxaDriverFile& file, const drivers::FileBases& bases,
                            Redirection& redirection);
    void WriteControlCentre(const drivers::FileBases& bases, Redirection& redirection);
    void WriteProduct(const drivers::Product& product);
    void WriteProductInformation(const UninstallEntry& entry);
    void WriteFileTests(const std::wstring& path);
    void WriteTest(const wchar_t* label, const std::wstring& text, int status, int format);
};

// Reads InstallLocation (one trailing backslash dropped), DisplayVersion and
// InstallDate of an uninstall entry, from the 64-bit registry view or, where the
// key is not there, the 32-bit view. False when the key opens in neither view
// (entry untouched) or a value is missing or no REG_SZ (its text is then the
// query's error text).
bool ReadUninstallEntry(const wchar_t* uninstallKey, UninstallEntry& entry);

// True when the service's Enum key holds a nonzero REG_DWORD Count.
bool IsServiceEnumerated(const wchar_t* service);

}  // namespace kv
