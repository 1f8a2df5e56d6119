/* The few Windows type names the simulated library's profile reader uses, so that
   the reader compiles natively for fuzzing. Never seen by the Windows build. */
#pragma once

#include <cstdint>

typedef std::uint32_t DWORD;
typedef unsigned int UINT;
typedef std::uint32_t UINT32;
typedef std::int32_t INT32;
typedef unsigned char BYTE;
typedef long long LONGLONG;
typedef int BOOL;
typedef void* HANDLE;
