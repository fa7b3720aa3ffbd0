// Disk images of a cloning tool: recognised, never reported.
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectGho(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "\xFE\xEF\x00\x00"sv) ? kTypeGho : kTypeUnknown;
}

}  // namespace brinvale
