// The names of all stand-in operations ("<Class>::<Method>", plus "<Class>::Create" for the
// classes with a registered factory). The fault plan accepts only these.
#pragma once

#include <string_view>
#include <vector>

namespace stack {

const std::vector<std::string_view>& KnownOperations();
bool IsKnownOperation(std::string_view operation);

}  // namespace stack
