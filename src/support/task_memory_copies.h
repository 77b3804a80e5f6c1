// Copies into COM task memory, for blocks and strings handed out through out-parameters (the
// receiver frees them with CoTaskMemFree).
//
//   *ppText = CreateStringData(text.c_str());              // null when memory is short
//   auto* frame = static_cast<BYTE*>(CoTaskMemAllocWithThrowError(size));  // never null
#pragma once

#include "platform/com.h"

// A task-memory copy of a NUL-terminated wide text; a null text gives a copy of the empty
// text, so that null means only that memory was short.
WCHAR* CreateStringData(const WCHAR* text);

// CoTaskMemAlloc that throws VLX_RuntimeError(E_OUTOFMEMORY) instead of returning null.
void* CoTaskMemAllocWithThrowError(SIZE_T size);
