#include "support/vlx_runtime_error.h"

VLX_RuntimeError::VLX_RuntimeError(HRESULT hr) noexcept : hr_(hr) {}

// Defined out of line so that the class has one home for its virtual table and type.
VLX_RuntimeError::~VLX_RuntimeError() = default;

HRESULT VLX_RuntimeError::GetHresult() const noexcept {
    return hr_;
}
