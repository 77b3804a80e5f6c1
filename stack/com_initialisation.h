// COM initialisation of the current thread for as long as the object lives.
//
//   stack::ComInitialisation com;  // multithreaded apartment
//   ASSERT_TRUE(SUCCEEDED(com.Result()));
#pragma once

#include "platform/com.h"

namespace stack {

class ComInitialisation {
public:
    explicit ComInitialisation(DWORD model = COINIT_MULTITHREADED) noexcept
        : result_(CoInitializeEx(nullptr, model)) {}
    ~ComInitialisation() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComInitialisation(const ComInitialisation&) = delete;
    ComInitialisation& operator=(const ComInitialisation&) = delete;

    HRESULT Result() const noexcept { return result_; }

private:
    HRESULT result_;
};

}  // namespace stack
