// Device-type tables: a group lists the device types a rule applies to in a
// static const table beside its code and asks whether the cached type is one of them.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kv {

template <size_t N>
bool IsOneOf(DWORD type, const DWORD (&types)[N])
{
    for (DWORD listed : types) {
        if (listed == type)
            return true;
    }
    return false;
}

}  // namespace kv
