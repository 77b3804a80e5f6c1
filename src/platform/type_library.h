// Registration of the type library that an in-process server carries (resource TYPELIB 1).
//
//   const platform::TypeLibraryIdentity identity{LIBID_..., 1, 0, 0x409, 0x8, WIDE("... Library")};
//   RETURN_IF_FAILED(platform::RegisterModuleTypeLibrary(modulePath, identity));
//
// Windows loads the library from the module and registers it with RegisterTypeLib, which
// writes TypeLib\{libid}\<version> and below from the library itself. Linux has no type
// libraries; there the identity is written to the registry under the same keys, as Windows
// records them, with the module as the library's file.
#pragma once

#include "platform/com.h"

namespace platform {

struct TypeLibraryIdentity {
    GUID libid;
    WORD majorVersion;
    WORD minorVersion;
    LCID locale;
    WORD flags;  // LIBFLAGS; a library that widl built carries LIBFLAG_FHASDISKIMAGE (0x8)
    const WCHAR* helpString;
};

HRESULT RegisterModuleTypeLibrary(WideStringView modulePath, const TypeLibraryIdentity& identity);
// Removes the library's version key, and the library's key when no other version remains.
HRESULT UnregisterModuleTypeLibrary(WideStringView modulePath, const TypeLibraryIdentity& identity);

}  // namespace platform
