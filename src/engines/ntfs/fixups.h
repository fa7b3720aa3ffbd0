#pragma once

#include <cstdint>
#include <span>

// The update-sequence repair of a file record.
namespace brinvale {

// Every 512-byte block of a record ends in the update sequence number (at
// 0x30) on the medium; the real last two bytes of block i are saved at
// 0x32 + 2i. This puts them back in all record size / 512 blocks, whatever
// the sector size (a 4,096-byte record carries 8 entries).
// Returns true when the header's entry count (0x06) is blocks + 1 and every
// block ended in the update sequence number, i.e. the record was written
// whole; the repair is made either way. A `recordSize` that is not a
// multiple of 512, or longer than `record`, leaves it untouched and gives
// false.
bool ApplyFixups(std::span<uint8_t> record, uint32_t recordSize);

}  // namespace brinvale
