#pragma once

#include <cstdint>
#include <string>

namespace brinvale {

// A byte count as shown in lists and messages: two decimals and " TB",
// " GB", " MB" or " KB" (powers of 1024) from 1024 bytes up, else the whole
// number and " Bytes" (negative counts too). 1,610,612,736 gives "1.50 GB".
std::string SizeText(int64_t bytes);

}  // namespace brinvale
