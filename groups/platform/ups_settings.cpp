// The UPS group's "User Settings" (stored in the UPS, uploaded by the library
// into a file) and "System Settings" (the Windows UPS service configuration).
#include "groups/platform/ups_group.h"

#include "device/text_helpers.h"
#include "device/win_handles.h"
#include "groups/registry_text.h"

namespace kv {
namespace ups {

enum class SettingKind {
    kText,    // the text
    kEnable,  // "Enabled" when nonzero, else "Disabled"
    kNumber,  // "%u"
};

// One value of the UPS service configuration.
struct SystemSetting {
    const wchar_t* label;
    const wchar_t* description;  // null: none
    const wchar_t* valueName;
    DWORD type;  // expected; any other gives "(unknown type)"
    SettingKind kind;
    int format;
    const wchar_t* enabledBy;       // written only when the 4 bytes read for this value are nonzero
    bool failedQueryReadsDisabled;  // a failed query is no error: "Disabled", "Passed"
};

}  // namespace ups

namespace {

using ups::SettingKind;
using ups::SystemSetting;

// clang-format off
const SystemSetting kSystemSettings[] = {
    {L"UPS vendor", nullptr,
     L"Vendor",                  REG_SZ,    SettingKind::kText,   kFmtString,        nullptr, false},
    {L"UPS model", nullptr,
     L"Model",                   REG_SZ,    SettingKind::kText,   kFmtString,        nullptr, false},
    {L"Shutdown on battery", nullptr,
     L"ShutdownOnBatteryEnable", REG_DWORD, SettingKind::kEnable, kFmtYesNo,         nullptr, false},
    {L"Shutdown on battery time", L"The time the UPS runs on battery before initiating a critical alarm.",
     L"ShutdownOnBatteryWait",   REG_DWORD, SettingKind::kNumber, kFmtMinutes,       L"ShutdownOnBatteryEnable", false},
    {L"Run task", L"The scheduled task to run before the UPS service initiates a system shutdown.",
     L"TaskName",                REG_SZ,    SettingKind::kText,   kFmtString,        nullptr, false},
    {L"UPS turn off", nullptr,
     L"TurnUPSOffEnable",        REG_DWORD, SettingKind::kEnable, kFmtEnableDisable, nullptr, false},
    {L"UPS turn off delay",
     L"The remaining time when a \"low battery\" alarm occurs before the UPS turns off the power.",
     L"TurnUPSOffWait",          REG_DWORD, SettingKind::kNumber, kFmtSeconds,       L"TurnUPSOffEnable", false},
    {L"Standard notification", L"Operating system specific UPS service notifications.",
     L"NotifyEnable",            REG_DWORD, SettingKind::kEnable, kFmtEnableDisable, nullptr, false},
    {L"Kavrol notification", L"Kavrol specific UPS service notifications.",
     L"KvNotifyEnable",          REG_DWORD, SettingKind::kEnable, kFmtEnableDisable, nullptr, true},
    {L"Show UPS status with Kavrol UPS Monitor",
     L"If enabled the UPS status changes will be shown in the UPS monitor instead of single messages.",
     L"KvUseUpsMonitor",         REG_DWORD, SettingKind::kEnable, kFmtEnableDisable, nullptr, true},
};
// clang-format on

const size_t kSystemSettingCount = sizeof kSystemSettings / sizeof kSystemSettings[0];

const wchar_t kUpsConfigKey[] = L"SYSTEM\\CurrentControlSet\\Services\\UPS\\Config";
// Texts of the service configuration are read into 200 bytes.
const DWORD kSettingTextBytes = 200;
// The service key is missing: the text keeps its carriage return (the writer drops only the line feed).
const wchar_t kNoUpsConfigured[] = L"There is no UPS configured in the system.\r\n";
const wchar_t kUnknownType[] = L"(unknown type)";

// The user settings upload: item 17 of IxaUploadFileW, at most 256 bytes read back.
const UINT kUserSettingsItem = 17;
const DWORD kUserSettingsBytes = 256;
const wchar_t kExchangeFilePrefix[] = L"KvInspectraUPS";
const wchar_t kMinimumFirmware[] = L"1.10";
const wchar_t kRawDataDescription[] = L"Complete factory settings";

// Block layouts, by length: offsets of the little-endian shutdown time and of the flags.
const size_t kLongBlock = 256;
const size_t kLongShutdownTime = 8;
const size_t kLongFlags = 10;
const size_t kShortBlock = 8;
const size_t kShortShutdownTime = 4;
const unsigned char kFlagCurrentLimitationOff = 0x01;
const unsigned char kFlagOverCurrentLowBattery = 0x02;

size_t SettingIndex(const wchar_t* valueName)
{
    for (size_t i = 0; i < kSystemSettingCount; ++i) {
        if (wcscmp(kSystemSettings[i].valueName, valueName) == 0)
            return i;
    }
    return kSystemSettingCount;
}

unsigned Little16(const std::string& block, size_t offset)
{
    return static_cast<unsigned char>(block[offset]) | (static_cast<unsigned char>(block[offset + 1]) << 8);
}

// The exchange file of the upload: created empty in the temporary folder and
// removed again in every outcome once it exists.
class ExchangeFile {
public:
    ExchangeFile() = default;
    ~ExchangeFile() { Remove(); }
    ExchangeFile(const ExchangeFile&) = delete;
    ExchangeFile& operator=(const ExchangeFile&) = delete;

    DWORD Create()
    {
        wchar_t folder[MAX_PATH] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH, folder);
        if (length == 0 || length >= MAX_PATH)
            return length == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW;
        if (!::GetTempFileNameW(folder, kExchangeFilePrefix, 0, m_path))
            return ::GetLastError();
        m_created = true;
        return ERROR_SUCCESS;
    }

    DWORD Remove()
    {
        if (!m_created)
            return ERROR_SUCCESS;
        m_created = false;
        return ::DeleteFileW(m_path) ? ERROR_SUCCESS : ::GetLastError();
    }

    const wchar_t* path() const { return m_path; }

private:
    wchar_t m_path[MAX_PATH] = {};
    bool m_created = false;
};

DWORD CallUpload(const DeviceInterface& device, const wchar_t* path)
{
    if (!device.IxaUploadFileW)
        return ERROR_PROC_NOT_FOUND;
    if (device.IxaUploadFileW(path, kUserSettingsItem, 0, 0))
        return ERROR_SUCCESS;
    // A failure that leaves no code must not pass for a successful upload.
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

DWORD ReadBlock(const wchar_t* path, std::string& block)
{
    UniqueFile file(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError();
    char bytes[kUserSettingsBytes];
    DWORD total = 0;
    while (total < kUserSettingsBytes) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes + total, kUserSettingsBytes - total, &read, nullptr))
            return ::GetLastError();
        if (read == 0)
            break;
        total += read;
    }
    block.assign(bytes, total);
    return ERROR_SUCCESS;
}

// 0 when every step succeeded, else the error of the first step that failed.
DWORD UploadUserSettings(const DeviceInterface& device, std::string& block)
{
    ExchangeFile file;
    DWORD code = file.Create();
    if (code == ERROR_SUCCESS)
        code = CallUpload(device, file.path());
    if (code == ERROR_SUCCESS)
        code = ReadBlock(file.path(), block);
    if (code == ERROR_SUCCESS)
        code = file.Remove();
    return code;
}

}  // namespace

UserSettings DecodeUserSettings(const std::string& block)
{
    UserSettings settings;
    if (block.size() == kLongBlock) {
        const unsigned char flags = static_cast<unsigned char>(block[kLongFlags]);
        settings.hasFlags = true;
        settings.currentLimitationDisabled = (flags & kFlagCurrentLimitationOff) != 0;
        settings.overCurrentLowBattery = (flags & kFlagOverCurrentLowBattery) != 0;
        settings.hasShutdownTime = true;
        settings.shutdownTime = Little16(block, kLongShutdownTime);
    } else if (block.size() == kShortBlock) {
        settings.hasShutdownTime = true;
        settings.shutdownTime = Little16(block, kShortShutdownTime);
    }
    return settings;
}

// Older firmware keeps no user settings; an unreadable version does not count as older.
void CTestUPS::WriteUserSettingsTests()
{
    GateVersionText version;
    if (ReadGateVersion(version) && CompareVersionText(version.text, kMinimumFirmware) < 0)
        return;

    DWORD status = 0;
    if (!ReadHardwareValue(kStatusWordSelector, status)) {
        WriteErrorTest(L"Status", nullptr, ::GetLastError());
        return;
    }
    if (status & kUserSettingsFailure) {
        WriteTest(L"Status", nullptr, L"Invalid", kPassed, kFmtUnknown);
        return;
    }

    std::string block;
    const DWORD outcome = UploadUserSettings(m_device, block);
    if (outcome == ERROR_SUCCESS)
        WriteUploadedUserSettings(block);
    else if (outcome == ERROR_CRC)
        WriteTest(L"Status", nullptr, L"Invalid", kPassed, kFmtUnknown);
    else
        WriteErrorTest(L"Raw data", kRawDataDescription, outcome);
}

void CTestUPS::WriteUploadedUserSettings(const std::string& block)
{
    WriteTest(L"Status", nullptr, L"Valid", kPassed, kFmtUnknown);
    const UserSettings settings = DecodeUserSettings(block);
    if (settings.hasFlags) {
        WriteTest(L"Current limitation (8A)", nullptr, settings.currentLimitationDisabled ? L"Disabled" : L"Enabled",
                  kPassed, kFmtEnableDisable);
        if (!settings.currentLimitationDisabled)
            WriteTest(L"Over current shutdown action", nullptr,
                      settings.overCurrentLowBattery ? L"Perform 'low battery' shutdown (not UL-conform)"
                                                     : L"Turn off within 1 minute (UL-conform)",
                      kPassed, kFmtString);
    }
    if (settings.hasShutdownTime)
        WriteTest(L"Low battery shutdown time", nullptr, Format(L"%u", settings.shutdownTime), kPassed, kFmtSeconds);
    std::wstring dump;
    FormatRawData(reinterpret_cast<const unsigned char*>(block.data()), block.size(), dump);
    WriteTest(L"Raw data", kRawDataDescription, dump, kPassed, kFmtRaw);
}

void CTestUPS::WriteSystemSettingsTests()
{
    HKEY opened = nullptr;
    const LONG code = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUpsConfigKey, 0, KEY_QUERY_VALUE, &opened);
    if (code == ERROR_FILE_NOT_FOUND) {
        WriteTest(L"Status", nullptr, kNoUpsConfigured, kPassed, kFmtString);
        return;
    }
    if (code != ERROR_SUCCESS) {
        WriteErrorTest(L"Status", nullptr, static_cast<DWORD>(code));
        return;
    }
    UniqueRegKey key(opened);
    // The 4 bytes read for each number; 0 until read, and after a failed query.
    DWORD numbers[kSystemSettingCount] = {};
    for (size_t i = 0; i < kSystemSettingCount; ++i) {
        const SystemSetting& setting = kSystemSettings[i];
        if (setting.enabledBy && numbers[SettingIndex(setting.enabledBy)] == 0)
            continue;
        WriteSystemSetting(key.get(), setting, &numbers[i]);
    }
}

void CTestUPS::WriteSystemSetting(HKEY key, const SystemSetting& setting, DWORD* number)
{
    DWORD type = REG_NONE;
    std::wstring text;
    LONG code = ERROR_SUCCESS;
    if (setting.kind == SettingKind::kText) {
        code = QueryRegistryText<kSettingTextBytes>(key, setting.valueName, type, text);
    } else {
        DWORD size = sizeof *number;
        code = ::RegQueryValueExW(key, setting.valueName, nullptr, &type, reinterpret_cast<BYTE*>(number), &size);
        if (code != ERROR_SUCCESS)
            *number = 0;
        else
            text = setting.kind == SettingKind::kEnable ? (*number ? L"Enabled" : L"Disabled")
                                                        : Format(L"%u", static_cast<unsigned>(*number));
    }

    if (code != ERROR_SUCCESS) {
        if (setting.failedQueryReadsDisabled)
            WriteTest(setting.label, setting.description, L"Disabled", kPassed, kFmtEnableDisable);
        else
            WriteErrorTest(setting.label, setting.description, static_cast<DWORD>(code));
        return;
    }
    WriteTest(setting.label, setting.description, type == setting.type ? text : kUnknownType, kPassed,
              setting.format);
}

}  // namespace kv
