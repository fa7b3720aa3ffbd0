#pragma once

#include <cstdint>
#include <span>

namespace brinvale {

// The CRC-32 of GPT headers and entry arrays (and of ZIP and PNG): the
// reflected polynomial 0xEDB88320, started at all ones and inverted at the
// end. `Crc32({})` is 0; "123456789" gives 0xCBF43926.
uint32_t Crc32(std::span<const uint8_t> bytes);

}  // namespace brinvale
