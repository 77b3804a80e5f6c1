#include "stack/message_block.h"

#include <cstring>
#include <new>

namespace stack {

BYTE* CopyToTaskMemory(const std::vector<BYTE>& bytes) {
    if (bytes.empty()) return nullptr;
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(bytes.size()));
    if (block == nullptr) throw std::bad_alloc();
    std::memcpy(block, bytes.data(), bytes.size());
    return block;
}

LPWSTR CopyToTaskMemory(const std::optional<platform::WideString>& text) {
    if (!text) return nullptr;
    const std::size_t bytes = (text->size() + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, text->c_str(), bytes);
    return copy;
}

HRESULT MessageBlock::Set(LONG size, const BYTE* data) {
    if (size < 0 || (size > 0 && data == nullptr)) return E_INVALIDARG;
    if (size == 0) {
        bytes_.clear();
    } else {
        std::vector<BYTE> copy(data, data + size);  // the old bytes stay if this throws
        bytes_.swap(copy);
    }
    return S_OK;
}

HRESULT MessageBlock::Get(LONG* size, BYTE** data) const {
    if (size == nullptr || data == nullptr) return E_POINTER;
    if (breach_) {
        *data = breach_->nullBlock ? nullptr : CopyToTaskMemory(bytes_);
        *size = breach_->reportedSize;
        return S_OK;
    }
    *data = CopyToTaskMemory(bytes_);
    *size = static_cast<LONG>(bytes_.size());
    return S_OK;
}

HRESULT MessageText::Set(const WCHAR* text) {
    if (text == nullptr) {
        text_.reset();
    } else {
        text_.emplace(text);
    }
    return S_OK;
}

HRESULT MessageText::Get(LPWSTR* text) const {
    if (text == nullptr) return E_POINTER;
    *text = CopyToTaskMemory(text_);
    return S_OK;
}

}  // namespace stack
