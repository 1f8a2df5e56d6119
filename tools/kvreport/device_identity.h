// What tells one device from another in its report: the device type of the header,
// the system unit's serial number and the User Serial ID the owner gave it.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>

namespace kvreport {

struct DeviceIdentity {
    std::wstring serialNumber;  // "" when the report holds none
    std::wstring userSerialId;
};

DeviceIdentity IdentifyDevice(const Report& report);

// The scan's date as ISO 8601 ("2026-12-08" for "8 Dec 2026"); a text that is no date
// as the program writes it (a header that stops early, an error text) stays as it is.
std::wstring IsoDate(const std::wstring& reportDate);

}  // namespace kvreport
