// A BSTR-holding VARIANT, and the class and interface ids of MSXML 6 that
// MinGW's headers do not define.
#pragma once

#include "device/win_handles.h"

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace kvreport {

using kv::ComPtr;

// A BSTR-holding VARIANT, cleared when it goes.
class BstrVariant {
public:
    explicit BstrVariant(const std::wstring& text)
    {
        ::VariantInit(&m_value);
        m_value.vt = VT_BSTR;
        m_value.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~BstrVariant() { ::VariantClear(&m_value); }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;
    const VARIANT& get() const { return m_value; }
    bool valid() const { return m_value.bstrVal != nullptr; }

private:
    VARIANT m_value;
};

const CLSID kSaxXmlReader60 = {0x88d96a0c, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kIidSaxXmlReader = {0xa4f96ed0, 0xf829, 0x476e, {0x81, 0xc0, 0xcd, 0xc7, 0xbd, 0x2a, 0x08, 0x02}};
const IID kIidSaxContentHandler = {0x1545cdfa, 0x9e4e, 0x4497, {0xa8, 0xa4, 0x2b, 0xf7, 0xd0, 0x11, 0x2c, 0x44}};
const IID kIidSaxErrorHandler = {0xa60511c4, 0xccf5, 0x479e, {0x98, 0xa3, 0xdc, 0x8d, 0xc5, 0x45, 0xb7, 0xd0}};

}  // namespace kvreport
