// The entry barrier of the protocol operations that may run out of memory (Initialise, Send,
// Receive, SamePhysicalTarget): for the length of the worker a failed allocation throws
// VLX_RuntimeError instead of std::bad_alloc, and that exception becomes the operation's
// HRESULT, so it never crosses the interface.
//
//   ZQMTraceDollar("CVORNProtocol::Send() IN\n");
//   return protocol::RunInsideEntryBarrier([&] { return SendInternal(pMessage); });
//
// The saved new-handler state is put back on every way out, also when another exception type
// passes through (which the barrier does not catch).
#pragma once

#include <new>
#include <type_traits>

#include "platform/com.h"
#include "support/new_handler.h"
#include "support/vlx_runtime_error.h"

namespace protocol {

// Installs the throwing new-handler for its scope and restores the saved one at the end.
class ThrowingNewHandlerScope {
public:
    ThrowingNewHandlerScope() { SetNewHandlerWithThrowError(&savedHandler_, &savedMode_); }
    ~ThrowingNewHandlerScope() { ResetNewHandler(savedHandler_, savedMode_); }
    ThrowingNewHandlerScope(const ThrowingNewHandlerScope&) = delete;
    ThrowingNewHandlerScope& operator=(const ThrowingNewHandlerScope&) = delete;

private:
    std::new_handler savedHandler_ = nullptr;
    int savedMode_ = 0;
};

template <class Worker>
HRESULT RunInsideEntryBarrier(Worker&& worker) {
    static_assert(std::is_same_v<std::invoke_result_t<Worker&>, HRESULT>,
                  "a barrier worker returns an HRESULT");
    const ThrowingNewHandlerScope scope;
    try {
        return worker();
    } catch (const VLX_RuntimeError& error) {
        return error.GetHresult();
    }
}

// For the operations that run without the barrier (the runtime information): memory running out
// is still answered with E_OUTOFMEMORY instead of an exception crossing the interface.
template <class Worker>
HRESULT AnswerExhaustion(Worker&& worker) {
    static_assert(std::is_same_v<std::invoke_result_t<Worker&>, HRESULT>,
                  "a worker returns an HRESULT");
    try {
        return worker();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace protocol
