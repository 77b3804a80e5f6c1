// The exception of the configuration-string support library. It carries the HRESULT that
// describes the failure; memory exhaustion under the throwing new-handler (new_handler.h) and in
// CoTaskMemAllocWithThrowError gives E_OUTOFMEMORY. Catch it by reference:
//
//   try { ... } catch (const VLX_RuntimeError& error) { return error.GetHresult(); }
#pragma once

#include "platform/com.h"

class VLX_RuntimeError {
  public:
    explicit VLX_RuntimeError(HRESULT hr) noexcept;
    VLX_RuntimeError(const VLX_RuntimeError&) noexcept = default;
    VLX_RuntimeError& operator=(const VLX_RuntimeError&) noexcept = default;
    virtual ~VLX_RuntimeError();

    virtual HRESULT GetHresult() const noexcept;

  private:
    HRESULT hr_;
};
