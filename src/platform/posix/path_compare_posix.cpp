#include "platform/path_compare.h"

namespace brinvale::platform {

bool SamePathText(std::u16string_view a, std::u16string_view b) { return a == b; }

std::filesystem::path::string_type PathKeyText(const std::filesystem::path& path) {
  return path.native();
}

}  // namespace brinvale::platform
