// Internal seam of the Linux COM runtime: finding a class that is not registered in the
// process, through the registry's CLSID\{...}\InprocServer32 entry.
#pragma once

#include "platform/posix/com_api.h"

namespace platform::posix {

// REGDB_E_CLASSNOTREG when the registry names no in-process server for the class.
HRESULT GetClassObjectFromRegistry(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace platform::posix
