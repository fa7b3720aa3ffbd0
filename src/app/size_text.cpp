#include "app/size_text.h"

#include <cstdio>

namespace brinvale {

std::string SizeText(int64_t bytes) {
  struct Unit {
    int64_t size;
    const char* name;
  };
  static constexpr Unit kUnits[] = {
      {int64_t(1) << 40, " TB"},
      {int64_t(1) << 30, " GB"},
      {int64_t(1) << 20, " MB"},
      {int64_t(1) << 10, " KB"},
  };
  char text[64];
  for (const Unit& unit : kUnits) {
    if (bytes >= unit.size) {
      std::snprintf(text, sizeof text, "%.2f%s", double(bytes) / double(unit.size), unit.name);
      return text;
    }
  }
  std::snprintf(text, sizeof text, "%lld Bytes", static_cast<long long>(bytes));
  return text;
}

}  // namespace brinvale
