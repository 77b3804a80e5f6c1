// The byte-block and text fields of the message classes, with the memory rules of the
// interfaces: a setter copies (size 0 with a null block means none; a negative size, or a null
// block with a positive size, is E_INVALIDARG and stores nothing), a getter hands out a
// task-memory copy that the caller frees (none: size 0 and a null block) and writes its
// outputs only on success.
//
// OutputBreach makes a getter break that contract on purpose, for robustness tests of the
// caller: it reports reportedSize instead of the true size and hands out either the stored
// bytes (whatever their length) or, with nullBlock, no block at all.
#pragma once

#include <optional>
#include <vector>

#include "platform/com.h"

namespace stack {

struct OutputBreach {
    LONG reportedSize;
    bool nullBlock;
};

// A copy of the bytes in task memory; null for an empty block. Throws std::bad_alloc when the
// allocation fails.
BYTE* CopyToTaskMemory(const std::vector<BYTE>& bytes);
// A copy of the text in task memory; null for a null text.
LPWSTR CopyToTaskMemory(const std::optional<platform::WideString>& text);

class MessageBlock {
public:
    HRESULT Set(LONG size, const BYTE* data);
    HRESULT Get(LONG* size, BYTE** data) const;

    void Break(std::optional<OutputBreach> breach) { breach_ = breach; }
    const std::vector<BYTE>& Bytes() const noexcept { return bytes_; }

private:
    std::vector<BYTE> bytes_;
    std::optional<OutputBreach> breach_;
};

class MessageText {
public:
    // A null text means none.
    HRESULT Set(const WCHAR* text);
    HRESULT Get(LPWSTR* text) const;

private:
    std::optional<platform::WideString> text_;
};

}  // namespace stack
