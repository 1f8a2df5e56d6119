// Operating system group: Windows version and registration, WERUNTIME.INI and
// the user's administrator membership. Written on every device, library or not.
#pragma once

#include "groups/group_base.h"

#include <string>

namespace kv {

class CTestOS : public CTest {
public:
    using CTest::CTest;
    void RunTests() override;

private:
    void WriteVersionTests();
    void WriteRegistrationTests();
    void WriteWerRuntimeTests();
    void WriteWerRuntimeTest(const std::wstring& line);
    void WriteAdministratorTest();
};

}  // namespace kv
