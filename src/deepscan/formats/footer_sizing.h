#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "deepscan/sizing_context.h"

namespace brinvale {

// The file ends after the first `footer` that passes the footer rule, in
// the given buffer or else in the chunks read after it; without one, at the
// next start or the cap.
uint64_t SizeToFirstFooter(SizingContext& ctx, std::span<const uint8_t> buffer,
                           std::string_view footer, uint64_t capBytes);

}  // namespace brinvale
