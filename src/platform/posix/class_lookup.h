// Internal seam of the Linux COM runtime: finding a class that is not registered in the
// process, through the registry's CLSID\{...}\InprocServer32 entry.
#pragma once

#include "platform/posix/com_api.h"

namespace platform::posix {

// Loads (once) the shared object that the registry names for the class and asks its
// DllGetClassObject. REGDB_E_CLASSNOTREG when the registry names no in-process server for the
// class, CO_E_DLLNOTFOUND when it cannot be loaded, CO_E_ERRORINDLL when it has no
// DllGetClassObject, REGDB_E_READREGDB when the registry cannot be read.
HRESULT GetClassObjectFromRegistry(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace platform::posix
