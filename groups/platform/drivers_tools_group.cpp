#include "groups/platform/drivers_tools_group.h"

#include "device/text_helpers.h"
#include "device/win_handles.h"
#include "groups/registry_text.h"

namespace kv {
namespace drivers {

// Where a file of a product lives.
enum class FileBase {
    kInstallLocation,  // InstallLocation of the product's uninstall entry
    kIxaInstallPath,   // InstallPath of the IXA driver key
    kSystemDirectory,  // GetSystemDirectoryW
    kSystemDrivers,    // the system directory's Drivers folder
};

struct ProductFile {
    const wchar_t* name;  // also the subcategory name
    FileBase base;
};

struct Product {
    const wchar_t* category;
    const wchar_t* uninstallKey;
    ProductFile files[8];  // in report order, up to the first without a name
};

// Which IXA driver files are written.
enum class IxaFileRule {
    kServiceEnumerated,  // one of the row's services has enumerated devices
    kControlCentre,      // KvDeviceDesk.exe in the install path, else KvDeviceDesk.cpl (WriteControlCentre)
    kAlways,
    kFirstExisting,      // the IXA install path, else the system directory: the first that holds the file
    kIfExists,           // only when the file exists
};

struct IxaDriverFile {
    const wchar_t* name;
    FileBase base;
    IxaFileRule rule;
    const wchar_t* services[2];  // kServiceEnumerated: either one; null when there is no second
};

}  // namespace drivers

namespace {

using drivers::FileBase;
using drivers::FileBases;
using drivers::IxaDriverFile;
using drivers::IxaFileRule;
using drivers::Product;
using drivers::ProductFile;

// The IXA driver's uninstall entry, tried in this order; its category and first
// subcategory open the group (strings 283, 284).
const wchar_t* const kIxaDriverUninstallKeys[] = {L"IxaDriver_is1", L"IxaDriver"};

// clang-format off
const IxaDriverFile kIxaDriverFiles[] = {
    {L"KvIxaDrv.sys",         FileBase::kSystemDrivers,   IxaFileRule::kServiceEnumerated, {L"Ixa", nullptr}},
    {L"KvBiosDrv.sys",        FileBase::kSystemDrivers,   IxaFileRule::kServiceEnumerated, {L"Bios", L"KvBiosDrv"}},
    {L"KvKmonDrv.sys",        FileBase::kSystemDrivers,   IxaFileRule::kServiceEnumerated, {L"KvKmonDrv", nullptr}},
    {L"KvDeviceDesk",         FileBase::kIxaInstallPath,  IxaFileRule::kControlCentre,     {}},
    {L"KvIxa.dll",            FileBase::kSystemDirectory, IxaFileRule::kAlways,            {}},
    {L"KvIxaUps.dll",         FileBase::kIxaInstallPath,  IxaFileRule::kFirstExisting,     {}},
    {L"KvIxaUpsSvc.exe",      FileBase::kIxaInstallPath,  IxaFileRule::kFirstExisting,     {}},
    {L"KvUpsMsg.exe",         FileBase::kIxaInstallPath,  IxaFileRule::kFirstExisting,     {}},
    {L"KvUpsMon.exe",         FileBase::kIxaInstallPath,  IxaFileRule::kFirstExisting,     {}},
    {L"FactoryResetTool.exe", FileBase::kIxaInstallPath,  IxaFileRule::kIfExists,          {}},
};

// The products after the IXA driver, in report order. A product appears only
// when its uninstall entry is complete.
const Product kProducts[] = {
    {L"IXA SNMP Agent", L"Kavrol IXA SNMP Agent", {
        {L"KvIxaSnmp.dll",         FileBase::kInstallLocation}}},
    {L"CAN Driver", L"Kavrol CAN Driver", {
        {L"KV.CanSettings.exe",    FileBase::kInstallLocation},
        {L"KvCanDrv.sys",          FileBase::kSystemDrivers}}},
    {L"SRAM Driver", L"Kavrol SRAM Driver", {
        {L"BoardFlash.exe",        FileBase::kInstallLocation},
        {L"SramCheck.exe",         FileBase::kInstallLocation},
        {L"KvSramDrv.sys",         FileBase::kSystemDrivers}}},
    {L"Touch Driver", L"KvTouchDriver_is1", {
        {L"KvTouchApplet.cpl",     FileBase::kInstallLocation},
        {L"KvTouchApplet.exe",     FileBase::kInstallLocation},
        {L"KvTouchCalib.exe",      FileBase::kInstallLocation},
        {L"KvTouchInit.exe",       FileBase::kInstallLocation},
        {L"KvTouchRightClick.exe", FileBase::kInstallLocation},
        {L"KvTouchSelect.exe",     FileBase::kInstallLocation},
        {L"KvTouchSvc.exe",        FileBase::kInstallLocation},
        {L"KvTouchDrv.sys",        FileBase::kInstallLocation}}},
    {L"Touch Guard", L"TouchGuard_is1", {
        {L"KvTouchGuardSvc.exe",   FileBase::kSystemDirectory},
        {L"KvUsbTouchGuard.sys",   FileBase::kSystemDrivers}}},
};
// clang-format on

const wchar_t kControlCentreExe[] = L"KvDeviceDesk.exe";
const wchar_t kControlCentreCpl[] = L"KvDeviceDesk.cpl";

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kIxaDriverKey[] = L"SOFTWARE\\KV_Rarereziza\\IXA\\Driver";
const wchar_t kServicesRoot[] = L"SYSTEM\\CurrentControlSet\\services\\";

// Installers register a product in the registry view of their own word size, and
// the usual installers of driver packages are 32-bit: an uninstall key missing from
// the 64-bit view is looked for in the 32-bit one (on 32-bit Windows both are the same).
const REGSAM kUninstallViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// Texts are read into 512 bytes.
const DWORD kTextBytes = 512;

UniqueRegKey OpenKey(const std::wstring& path, REGSAM access)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return UniqueRegKey();
    return UniqueRegKey(key);
}

// A REG_SZ value; otherwise false with the query's error text (the text of 0 for
// a value of another type).
bool ReadStringValue(HKEY key, const wchar_t* name, std::wstring& text)
{
    DWORD type = REG_NONE;
    std::wstring value;
    const LONG code = QueryRegistryText<kTextBytes>(key, name, type, value);
    if (code != ERROR_SUCCESS || type != REG_SZ) {
        text = SystemErrorText(static_cast<DWORD>(code));
        return false;
    }
    text = value;
    return true;
}

UniqueRegKey OpenUninstallKey(const wchar_t* uninstallKey)
{
    const std::wstring path = std::wstring(kUninstallRoot) + uninstallKey;
    for (REGSAM view : kUninstallViews) {
        UniqueRegKey key = OpenKey(path, KEY_QUERY_VALUE | view);
        if (key)
            return key;
    }
    return UniqueRegKey();
}

std::optional<std::wstring> ReadIxaDriverValue(const wchar_t* name)
{
    UniqueRegKey key = OpenKey(kIxaDriverKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    std::wstring text;
    if (!key || !ReadStringValue(key.get(), name, text))
        return std::nullopt;
    return text;
}

std::optional<std::wstring> SystemDirectory()
{
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return std::wstring(path);
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file's full path, or nothing when its folder is unknown.
std::optional<std::wstring> PathOf(FileBase base, const wchar_t* name, const FileBases& bases)
{
    const std::optional<std::wstring>* folder = nullptr;
    const wchar_t* separator = L"\\";
    switch (base) {
    case FileBase::kInstallLocation:
        folder = &bases.installLocation;
        break;
    case FileBase::kIxaInstallPath:
        folder = &bases.ixaInstallPath;
        break;
    case FileBase::kSystemDirectory:
        folder = &bases.systemDirectory;
        break;
    case FileBase::kSystemDrivers:
        folder = &bases.systemDirectory;
        separator = L"\\Drivers\\";
        break;
    }
    if (!folder || !*folder)
        return std::nullopt;
    return **folder + separator + name;
}

}  // namespace

// The file-system redirection of a 32-bit process on 64-bit Windows, off while
// the object lives. A 64-bit process has nothing to switch: disabling fails (error
// 1 under Wine) and every path is already the native one, so only what was
// actually disabled is reverted.
class CTestKvDriversAndTools::Redirection {
public:
    Redirection() { Disable(); }
    ~Redirection() { Revert(); }
    Redirection(const Redirection&) = delete;
    Redirection& operator=(const Redirection&) = delete;

    void Disable()
    {
        if (!m_disabled)
            m_disabled = ::Wow64DisableWow64FsRedirection(&m_previous) != FALSE;
    }
    void Revert()
    {
        if (m_disabled)
            ::Wow64RevertWow64FsRedirection(m_previous);
        m_disabled = false;
    }

private:
    PVOID m_previous = nullptr;
    bool m_disabled = false;
};

bool ReadUninstallEntry(const wchar_t* uninstallKey, UninstallEntry& entry)
{
    UniqueRegKey key = OpenUninstallKey(uninstallKey);
    if (!key)
        return false;
    bool complete = ReadStringValue(key.get(), L"InstallLocation", entry.installLocation);
    if (complete && !entry.installLocation.empty() && entry.installLocation.back() == L'\\')
        entry.installLocation.pop_back();
    complete = ReadStringValue(key.get(), L"DisplayVersion", entry.setupVersion) && complete;
    complete = ReadStringValue(key.get(), L"InstallDate", entry.installDate) && complete;
    return complete;
}

bool IsServiceEnumerated(const wchar_t* service)
{
    UniqueRegKey key = OpenKey(std::wstring(kServicesRoot) + service + L"\\Enum", KEY_QUERY_VALUE);
    if (!key)
        return false;
    DWORD type = REG_NONE;
    DWORD count = 0;
    DWORD size = sizeof count;
    const LONG code =
        ::RegQueryValueExW(key.get(), L"Count", nullptr, &type, reinterpret_cast<BYTE*>(&count), &size);
    return code == ERROR_SUCCESS && type == REG_DWORD && count != 0;
}

void CTestKvDriversAndTools::RunTests()
{
    if (!PassDeviceTypeGate())
        return;

    Writer().BeginDriversAndToolsGroup();
    WriteIxaDriverProductInformation();
    WriteIxaDriverFiles();
    for (const Product& product : kProducts)
        WriteProduct(product);
    Writer().EndGroup();
}

void CTestKvDriversAndTools::WriteTest(const wchar_t* label, const std::wstring& text, int status, int format)
{
    Writer().BeginTest(label, nullptr);
    Writer().WriteResult(text.c_str(), status, format);
    Writer().EndTest();
}

// Without a complete uninstall entry only the driver key's version stands in.
void CTestKvDriversAndTools::WriteIxaDriverProductInformation()
{
    UninstallEntry entry;
    for (const wchar_t* uninstallKey : kIxaDriverUninstallKeys) {
        if (ReadUninstallEntry(uninstallKey, entry)) {
            WriteProductInformation(entry);
            return;
        }
    }
    const std::optional<std::wstring> version = ReadIxaDriverValue(L"Version");
    if (version)
        WriteTest(L"Setup version", *version, kPassed, kFmtString);
    else
        WriteTest(L"Setup version", L"Not available", kFailed, kFmtString);
}

void CTestKvDriversAndTools::WriteProductInformation(const UninstallEntry& entry)
{
    WriteTest(L"Setup version", entry.setupVersion, kPassed, kFmtString);
    WriteTest(L"Install location", entry.installLocation, kPassed, kFmtString);
    WriteTest(L"Install date", FormatInstallDate(entry.installDate), kPassed, kFmtString);
}

void CTestKvDriversAndTools::WriteIxaDriverFiles()
{
    Redirection redirection;
    FileBases bases;
    bases.ixaInstallPath = ReadIxaDriverValue(L"InstallPath");
    bases.systemDirectory = SystemDirectory();
    for (const IxaDriverFile& file : kIxaDriverFiles)
        WriteIxaDriverFile(file, bases, redirection);
}

void CTestKvDriversAndTools::WriteIxaDriverFile(const IxaDriverFile& file, const FileBases& bases,
                                                Redirection& redirection)
{
    switch (file.rule) {
    case IxaFileRule::kServiceEnumerated: {
        const bool enumerated = IsServiceEnumerated(file.services[0]) ||
                                (file.services[1] && IsServiceEnumerated(file.services[1]));
        if (!enumerated)
            return;
        break;
    }
    case IxaFileRule::kControlCentre:
        WriteControlCentre(bases, redirection);
        return;
    case IxaFileRule::kAlways:
        break;
    case IxaFileRule::kFirstExisting: {
        for (FileBase base : {file.base, FileBase::kSystemDirectory}) {
            const std::optional<std::wstring> path = PathOf(base, file.name, bases);
            if (path && FileExists(*path)) {
                Writer().BeginSubCategory(file.name);
                WriteFileTests(*path);
                return;
            }
        }
        return;
    }
    case IxaFileRule::kIfExists: {
        const std::optional<std::wstring> path = PathOf(file.base, file.name, bases);
        if (!path || !FileExists(*path))
            return;
        break;
    }
    }
    Writer().BeginSubCategory(file.name);
    const std::optional<std::wstring> path = PathOf(file.base, file.name, bases);
    if (path)
        WriteFileTests(*path);
}

// The control centre is an exe in the IXA install path or an applet in the system
// directory. When neither is found, the applet's subcategory reports the path as
// a redirected 32-bit process would see it.
void CTestKvDriversAndTools::WriteControlCentre(const FileBases& bases, Redirection& redirection)
{
    const std::optional<std::wstring> exe = PathOf(FileBase::kIxaInstallPath, kControlCentreExe, bases);
    if (exe && FileExists(*exe)) {
        Writer().BeginSubCategory(kControlCentreExe);
        WriteFileTests(*exe);
        return;
    }
    const std::optional<std::wstring> cpl = PathOf(FileBase::kSystemDirectory, kControlCentreCpl, bases);
    Writer().BeginSubCategory(kControlCentreCpl);
    if (!cpl)
        return;
    if (FileExists(*cpl)) {
        WriteFileTests(*cpl);
        return;
    }
    redirection.Revert();
    WriteFileTests(*cpl);
    redirection.Disable();
}

void CTestKvDriversAndTools::WriteProduct(const Product& product)
{
    Redirection redirection;
    UninstallEntry entry;
    if (!ReadUninstallEntry(product.uninstallKey, entry))
        return;

    Writer().BeginCategory(product.category, L"Product Information");
    WriteProductInformation(entry);
    FileBases bases;
    bases.installLocation = entry.installLocation;
    bases.systemDirectory = SystemDirectory();
    for (const ProductFile& file : product.files) {
        if (!file.name)
            break;
        Writer().BeginSubCategory(file.name);
        const std::optional<std::wstring> path = PathOf(file.base, file.name, bases);
        if (path)
            WriteFileTests(*path);
    }
}

void CTestKvDriversAndTools::WriteFileTests(const std::wstring& path)
{
    WriteTest(L"File path", path, kPassed, kFmtString);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        WriteTest(L"File version", SystemErrorText(::GetLastError()), kFailed, kFmtString);
        return;
    }

    std::wstring version;
    if (ReadFileVersion(path.c_str(), version))
        WriteTest(L"File version", version, kPassed, kFmtString);
    else
        WriteTest(L"File version", L"Can not get the file version", kFailed, kFmtString);

    // The last-write time stays in UTC.
    SYSTEMTIME time = {};
    if (::FileTimeToSystemTime(&data.ftLastWriteTime, &time))
        WriteTest(L"Modification date",
                  Format(L"%04u-%02u-%02u %02u:%02u:%02u", unsigned{time.wYear}, unsigned{time.wMonth},
                         unsigned{time.wDay}, unsigned{time.wHour}, unsigned{time.wMinute}, unsigned{time.wSecond}),
                  kPassed, kFmtString);
    else
        WriteTest(L"Modification date", SystemErrorText(::GetLastError()), kFailed, kFmtString);

    // Only the low 32 bits of the size are shown.
    WriteTest(L"File size", Format(L"%lu", static_cast<unsigned long>(data.nFileSizeLow)), kPassed, kFmtBytes);
}

}  // namespace kv
