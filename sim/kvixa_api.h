// The entry points of the libraries built in sim/ (the simulated KvIxa.dll and
// the recording one), declared from the one list of the call contract. A
// definition whose signature strays from its kind does not compile.
#pragma once

#include "kvixa/entry_points.h"

#include <type_traits>

// The libraries export their entry points through a module-definition file
// written from the same list (sim/CMakeLists.txt), by their plain names: a 32-bit
// build would otherwise export the __stdcall names as the compiler decorates them
// ("IxaGetDeviceType@4"), which a lookup by the plain name does not find.
// The legacy variant's file leaves out the module and panel-module entry points.
#define KVIXA_API extern "C"

#define KVIXA_DECLARE_ENTRY_POINT(kind, name) KVIXA_API std::remove_pointer_t<ixa::kind> name;
KVIXA_ENTRY_POINTS(KVIXA_DECLARE_ENTRY_POINT)
#undef KVIXA_DECLARE_ENTRY_POINT
