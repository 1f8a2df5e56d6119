// Device model, device type and CPU board identification, and two fixed device reads.
#pragma once

#include "device/device_interface.h"
#include "device/library_text.h"

#include <string>

namespace kv {

// Device type codes the groups compare with.
enum DeviceType : DWORD {
    kCorvaboxC20 = 6,
    kPanevoxP30 = 7,
    kCorvaboxC40 = 12,
    kPanevoxP50 = 13,
    kCorvaboxC60 = 14,
    kVoltadeckV70 = 15,
    kCorvaboxC80 = 16,
    kCorvaboxC81 = 17,
    kCorvaboxC90 = 18,
    kPanevoxP91 = 19,
    kCorvaboxC92 = 20,
    kPanevoxP93 = 21,
    kRoamdeckR96 = 22,
    kCorvaboxC94 = 23,
    kPanevoxP95 = 24,
};

// Model name of a device type code; "Not supported" for codes without one.
const wchar_t* ModelNameOfType(DWORD type);

// Reads the device type (never the cache) into *type and, when text is not null,
// its model name into text (260 characters). Returns 0 with "Unknown" when the
// type cannot be read.
int DeviceModelName(DeviceInterface& device, DWORD* type, wchar_t* text);

// Code 0 asks whether any device type is known; fills the cache on first use.
int IsDeviceType(DeviceInterface& device, DWORD code);

// The CPU board's hardware string: 520 bytes read, room for a terminator kept.
using CpuBoardText = LibraryText<520>;

// Reads the CPU board's hardware string (selector 16) into text and replaces it
// by the board name when a known prefix matches; text is untouched on failure.
int CpuBoardCode(DeviceInterface& device, DWORD* code, CpuBoardText& text);
int IsCpuBoard(DeviceInterface& device, DWORD code);

// Applies the board prefix table to text in place; returns the board code, 0 if none.
DWORD MatchCpuBoard(wchar_t* text);

DWORD GetHardwareValue58(DeviceInterface& device);
int ReadFactoryValue(DeviceInterface& device, UINT selector, void* buffer, UINT size);
int ReadFactoryString(DeviceInterface& device, UINT selector, wchar_t* buffer);

}  // namespace kv
