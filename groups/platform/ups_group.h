// UPS group: the uninterruptible power supply built into the device (type,
// firmware, status bits, factory and battery settings, battery temperature,
// current and voltage, on-battery counters), the user settings stored in it and
// the Windows UPS service configuration. Written whenever the library reports a
// UPS, whatever the device type.
#pragma once

#include "groups/group_base.h"
#include "groups/platform/version_text.h"

#include <string>

namespace kv {

namespace ups {
struct SettingsTest;
struct SettingsRead;
struct SystemSetting;
}  // namespace ups

// The UPS model as the "Type" test finds it.
enum UpsModel : int {
    kUpsZelo = 0,
    kUpsZelos = 1,
    // Before the type is read, and for a type text that is neither (or cannot be
    // read): no ZELO-only and no ZELOS-only parts, and the firmware gates apply.
    kUpsModelUnknown = -1,
};

class CTestUPS : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    // Library selectors and status bits both source files use.
    static constexpr UINT kFirmwareVersionSelector = 25;  // IxaGetFirmwareStringW
    static constexpr UINT kStatusWordSelector = 31;       // IxaGetHardwareValue
    static constexpr DWORD kBatterySettingsFailure = 0x0002;  // status bit 1
    static constexpr DWORD kUserSettingsFailure = 0x0400;     // status bit 10
    // The firmware gates read the version into 100 characters.
    using GateVersionText = LibraryText<200>;

    bool ReadHardwareValue(UINT selector, DWORD& value);
    bool ReadGateVersion(GateVersionText& version);

    bool IsUpsPresent();
    void WriteFirmwareTests();
    void WriteStatusTests();
    void WriteStatusBitTests(DWORD status);
    void WriteCommunicationTests();
    void WriteFactorySettingsTests();
    void WriteBatterySettingsTests();
    void WriteSettingsTest(const ups::SettingsTest& test, const ups::SettingsRead& read);
    void WriteTemperatureTest();
    void WriteCurrentTest();
    void WriteVoltageTest();
    void WriteStatisticsTests();

    // ups_settings.cpp: the bodies of "User Settings" and "System Settings".
    void WriteUserSettingsTests();
    void WriteUploadedUserSettings(const std::string& block);
    void WriteSystemSettingsTests();
    void WriteSystemSetting(HKEY key, const ups::SystemSetting& setting, DWORD* number);

    void WriteTest(const wchar_t* label, const wchar_t* description, const std::wstring& text, int status,
                   int format);
    void WriteErrorTest(const wchar_t* label, const wchar_t* description, DWORD code);

    UpsModel m_model = kUpsModelUnknown;
};

// 100 - errors * 100 / requests in whole percent; 0 when there were more errors
// than requests. requests must not be 0.
unsigned LinkQuality(unsigned requests, unsigned errors);

// Milliamperes and millivolts as amperes and volts, divided in single precision:
// "%.1f" for a negative current, "%.2f" otherwise.
std::wstring BatteryCurrentText(INT32 milliamperes);
std::wstring BatteryVoltageText(UINT32 millivolts);

// What the uploaded user settings block holds; its length decides its layout.
struct UserSettings {
    bool hasFlags = false;                  // 256-byte block
    bool currentLimitationDisabled = false;  // flag bit 0
    bool overCurrentLowBattery = false;      // flag bit 1: 'low battery' shutdown instead of turning off
    bool hasShutdownTime = false;           // 256- or 8-byte block
    unsigned shutdownTime = 0;              // seconds
};
UserSettings DecodeUserSettings(const std::string& block);

}  // namespace kv
