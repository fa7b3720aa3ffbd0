#pragma once

#include <string_view>

namespace brinvale::platform {

// Natural order of device names: runs of decimal digits compare as numbers
// and everything else byte by byte, so "loop2" < "loop10" and "sda" < "sdb".
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace brinvale::platform
