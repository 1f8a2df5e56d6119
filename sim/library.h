// The library's state (profile, selected panel) and the common course of a
// call: find the answer, deliver it, trace the call, set the last error.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace kvsim {

// Entry points with a buffer and a size; keyParts are the integer arguments
// before the buffer (none for the key matrix and switches).
int BufferCall(const char* name, std::initializer_list<UINT> keyParts, void* buffer, UINT size) noexcept;
int ValueCall(const char* name, void* value) noexcept;
int EqualizerCall(const char* name, void* mode, void* value) noexcept;
int StatusCall(const char* name, UINT argument) noexcept;
// IxaSelectPanel: a successful call makes the panel the selected one.
int SelectPanelCall(const char* name, UINT panel) noexcept;
int UploadCall(const char* name, const wchar_t* fileName, UINT item, UINT reserved1, UINT reserved2) noexcept;

}  // namespace kvsim
