// The entry points of the libraries built in sim/ (the simulated KvIxa.dll and
// the recording one), declared from the one list of the call contract. A
// definition whose signature strays from its kind does not compile.
#pragma once

#include "kvixa/entry_points.h"

#include <type_traits>

#ifdef KVIXA_BUILD
#define KVIXA_API extern "C" __declspec(dllexport)
#else
#define KVIXA_API extern "C"
#endif

// Only what a library defines is exported: the legacy variant leaves out the
// module and panel-module entry points.
#define KVIXA_DECLARE_ENTRY_POINT(kind, name) KVIXA_API std::remove_pointer_t<ixa::kind> name;
KVIXA_ENTRY_POINTS(KVIXA_DECLARE_ENTRY_POINT)
#undef KVIXA_DECLARE_ENTRY_POINT
