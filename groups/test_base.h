// Base of every test group: one object per group and scan, holding the scan's
// writer and its own binding of the device library.
#pragma once

#include "device/device_identity.h"
#include "device/device_interface.h"
#include "report/xml_writer.h"

#include <string>

namespace kv {

// String 261, the result of a value the device does not provide.
const UINT kIdsNotAvailable = 261;

class CTest {
public:
    explicit CTest(ReportWriter* writer);
    virtual ~CTest() = default;
    CTest(const CTest&) = delete;
    CTest& operator=(const CTest&) = delete;

    // Writes the group's whole TestGroup element, or nothing when it does not apply.
    virtual void RunTests() = 0;

    // Frees the group's copy of the device library.
    void ReleaseDevice() { m_device.Release(); }

protected:
    // Reads the device type into the cache; false when no device type is known.
    bool PassDeviceTypeGate();
    bool IsType(DWORD type) const { return m_device.deviceType == type; }

    // The result conventions shared by all groups.
    void WriteErrorResult(DWORD code);
    void WriteNotAvailable(int format = kFmtString);
    void WritePassed(const std::wstring& text, int format);

    ReportWriter& Writer() { return *m_writer; }

    ReportWriter* m_writer;
    DeviceInterface m_device;
};

}  // namespace kv
