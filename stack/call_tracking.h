// How a stand-in operation runs: it is recorded in the call log, consults the fault plan, and
// turns any exception into E_OUTOFMEMORY, since none may leave a COM method. Recording and the
// copies the stand-ins keep allocate with operator new: a test that fails the n-th allocation
// of its thread counts those too (switch recording off to have fewer).
//
//   HRESULT NetworkMessage::SetMessageID(ULONG id) {
//       return Perform(STACK_OPERATION(NetworkMessage, SetMessageID), Identity(),
//                      [&] { return "id=" + std::to_string(id); },
//                      [&] { ...; return S_OK; });
//   }
//
// Inside an UntrackedScope a thread's calls are neither recorded nor counted by the fault plan:
// the stand-ins use it when they read a message back or build a reply, and tests may use it to
// prepare objects without filling the log.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "stack/stack_environment.h"

// The name of a stand-in operation, "Class::Method", checked against the class at compile time.
#define STACK_OPERATION(Class, Method) \
    (static_cast<void>(sizeof(&::stack::Class::Method)), std::string_view(#Class "::" #Method))

namespace stack {

class UntrackedScope {
public:
    UntrackedScope() noexcept;
    ~UntrackedScope();
    UntrackedScope(const UntrackedScope&) = delete;
    UntrackedScope& operator=(const UntrackedScope&) = delete;

    static bool Active() noexcept;
};

template <class Describe, class Body>
HRESULT Perform(std::string_view operation, const void* object, Describe&& describe,
                Body&& body) noexcept {
    try {
        std::optional<InjectedResult> injected;
        if (!UntrackedScope::Active()) {
            StackEnvironment& env = Environment();
            injected = env.Faults().Consume(operation);
            if (env.Log().Enabled()) {
                env.Log().Record({std::string(operation), describe(), object, injected.has_value(),
                                  injected ? injected->result : S_OK});
            }
        }
        if (injected && !injected->operationRuns) return injected->result;
        const HRESULT own = body();
        return injected ? injected->result : own;
    } catch (...) {
        // The stand-ins raise nothing of their own: an exception here is an allocation that
        // failed, as std::bad_alloc or whatever a program's new-handler throws instead.
        return E_OUTOFMEMORY;
    }
}

}  // namespace stack
