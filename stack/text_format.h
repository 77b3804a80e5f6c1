// Short texts for call records: identifiers, pointers, byte blocks and wide strings. Tests use
// the same functions to build the argument texts they expect.
//
//   stack::FormatGuid(IID_IVELDO_ConfigurationSource)   // "IID_IVELDO_ConfigurationSource"
//   stack::FormatBytes(3, bytes)                        // "12 34 56"
#pragma once

#include <string>

#include "platform/com.h"

namespace stack {

// The identifier's name when it is one of the stack's or a standard one, else its registry
// form ("{72C43F46-4D25-41F1-9965-59E920A126C2}").
std::string FormatGuid(const GUID& guid);

// Registry form only, whatever the identifier.
std::string GuidText(const GUID& guid);

// "null" or the address in hexadecimal.
std::string FormatPointer(const void* pointer);

// Upper-case hexadecimal bytes separated by blanks; blocks longer than 32 bytes end in
// " ...(+n)". A null block is "null"; a size below 1 gives "".
std::string FormatBytes(long size, const BYTE* bytes);

// "size=3 data=12 34 56": a block argument as call records show it.
std::string DescribeBlock(long size, const BYTE* bytes);

// The text with every character outside printable ASCII as '?'; a null text is "null".
std::string NarrowText(const WCHAR* text);

}  // namespace stack
