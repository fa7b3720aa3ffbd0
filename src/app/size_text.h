#pragma once

#include <cstdint>
#include <string>

namespace brinvale {

// A byte count as lists and messages show it: "%.2f" of the count in TB,
// GB, MB or KB (powers of 1024) followed by " TB", " GB", " MB" or " KB", or
// "%d" with " Bytes" below 1024 (and for negative counts).
std::string SizeText(int64_t bytes);

}  // namespace brinvale
