#include "common/size_text.h"

#include <cinttypes>
#include <cstdio>

namespace brinvale {

std::string SizeText(int64_t bytes) {
  struct Unit {
    int64_t scale;
    const char* suffix;
  };
  static constexpr Unit kUnits[] = {
      {int64_t(1) << 40, " TB"},
      {int64_t(1) << 30, " GB"},
      {int64_t(1) << 20, " MB"},
      {int64_t(1) << 10, " KB"},
  };
  char text[64];
  for (const Unit& unit : kUnits) {
    if (bytes >= unit.scale) {
      std::snprintf(text, sizeof text, "%.2f%s", double(bytes) / double(unit.scale), unit.suffix);
      return text;
    }
  }
  // The whole 64-bit count, never cut to 32 bits.
  std::snprintf(text, sizeof text, "%" PRId64 " Bytes", bytes);
  return text;
}

}  // namespace brinvale
