// Resource ids of the simulated device-interface library.
#pragma once

// The default profile (profiles/corvabox-c90.json), used without KVIXA_PROFILE.
#define IDR_KVIXA_DEFAULT_PROFILE 101
