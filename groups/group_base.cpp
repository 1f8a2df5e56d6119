#include "groups/group_base.h"

#include "device/text_helpers.h"

namespace kv {

CTest::CTest(ReportWriter* writer) : m_writer(writer) { m_device.Load(); }

bool CTest::PassDeviceTypeGate()
{
    if (m_device.deviceType == 0) {
        if (!m_device.IxaGetDeviceType)
            return false;
        if (!m_device.IxaGetDeviceType(&m_device.deviceType)) {
            // A failing call may still have written a value: it must not pass the next gate.
            m_device.deviceType = 0;
            return false;
        }
    }
    return m_device.deviceType != 0;
}

void CTest::WriteErrorResult(DWORD code) { m_writer->WriteResult(SystemErrorText(code), kFailed, kFmtString); }

void CTest::WriteNotAvailable(int format) { m_writer->WriteResult(kIdsNotAvailable, format); }

void CTest::WritePassed(const std::wstring& text, int format) { m_writer->WriteResult(text.c_str(), kPassed, format); }

void CTest::WritePassedTest(UINT nameId, const std::wstring& text, int format)
{
    m_writer->BeginTest(nameId);
    WritePassed(text, format);
    m_writer->EndTest();
}

}  // namespace kv
