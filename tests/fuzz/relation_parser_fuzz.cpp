// The relation-file parser on arbitrary text; what it accepts is written
// back and must read the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "results/relation_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  RelationMap map;
  ParseRelationText(std::string_view(reinterpret_cast<const char*>(data), size), map);
  std::string text;
  for (const auto& [key, numbers] : map) {
    for (uint32_t n : numbers)
      if (n > 0x7FFFFFFFu) std::abort();
    AppendRelationEntry(text, key, numbers);
  }
  RelationMap again;
  ParseRelationText(text, again);
  if (again != map) std::abort();
  return 0;
}
