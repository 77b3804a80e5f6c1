// Per-thread COM initialisation for Linux. There are no apartments here, so the calls only
// keep the nesting count that tells the first initialisation (S_OK) from later ones (S_FALSE).
#include "platform/posix/com_api.h"

namespace {
thread_local int t_initialisationDepth = 0;
}

extern "C" {

HRESULT CoInitialize(void* pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) { return t_initialisationDepth++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (t_initialisationDepth > 0) --t_initialisationDepth;
}

}  // extern "C"
