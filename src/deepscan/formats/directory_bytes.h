#pragma once

#include <cstdint>
#include <span>

#include "deepscan/sizing_context.h"

namespace brinvale {

// The first bytes of a file whose directory needs `needed` bytes: the given
// buffer when it holds them, else up to 64 KiB read at the start sector into
// the chunk buffer (fewer at the end of the medium). Empty when the read
// fails or the directory does not fit even then.
std::span<const uint8_t> DirectoryBytes(SizingContext& ctx, std::span<const uint8_t> buffer,
                                        uint64_t needed);

}  // namespace brinvale
