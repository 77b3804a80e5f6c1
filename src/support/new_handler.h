// The throwing allocation-failure handler that an entry barrier installs around a call, so that
// running out of memory inside the call raises VLX_RuntimeError(E_OUTOFMEMORY) instead of
// std::bad_alloc or a null result:
//
//   std::new_handler savedHandler;
//   int savedMode;
//   SetNewHandlerWithThrowError(&savedHandler, &savedMode);
//   ... run the call, catch VLX_RuntimeError by reference ...
//   ResetNewHandler(savedHandler, savedMode);          // on every path
//
// Barriers run on many threads at once, and the process has one std::new_handler, so the
// throwing behaviour belongs to the thread: each thread counts how deeply it is nested in
// barriers. While any barrier is active anywhere, one dispatching handler is installed; it
// throws VLX_RuntimeError on a thread inside a barrier and elsewhere behaves as the handler that
// was in force before (calls it, or throws std::bad_alloc when there was none). The last barrier
// to leave puts that handler back, so whatever the interleaving, the handler in force before the
// calls is in force after all of them have returned.
//
// The saved pair describes the calling thread's level: the mode is its nesting depth before
// the call, the handler the one that was in force for it (the dispatcher when already nested).
// ResetNewHandler returns the thread to that depth; the process-wide handler is restored from
// the library's own record, so a stale handler from an interleaved call is never reinstalled.
#pragma once

#include <new>

void SetNewHandlerWithThrowError(std::new_handler* savedHandler, int* savedMode);
void ResetNewHandler(std::new_handler savedHandler, int savedMode);
