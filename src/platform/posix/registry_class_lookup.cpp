// Classes found through the registry. In-process servers named by the registry are not loaded
// yet; until they are, a class that nobody registered in the process is not registered.
#include "platform/posix/class_lookup.h"

namespace platform::posix {

HRESULT GetClassObjectFromRegistry(REFCLSID, REFIID, void** ppv) {
    if (ppv != nullptr) *ppv = nullptr;
    return REGDB_E_CLASSNOTREG;
}

}  // namespace platform::posix
