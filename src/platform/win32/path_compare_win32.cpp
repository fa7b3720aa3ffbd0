#include <windows.h>

#include <climits>

#include "platform/path_compare.h"

namespace brinvale::platform {

bool SamePathText(std::u16string_view a, std::u16string_view b) {
  if (a.size() > size_t(INT_MAX) || b.size() > size_t(INT_MAX)) return a == b;
  // The ordinal comparison with case ignored folds case as the file system
  // does, without the linguistic rules of the user's locale.
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), int(a.size()),
                              reinterpret_cast<const wchar_t*>(b.data()), int(b.size()),
                              TRUE) == CSTR_EQUAL;
}

std::filesystem::path::string_type PathKeyText(const std::filesystem::path& path) {
  std::wstring key = path.native();
  if (key.empty() || key.size() > size_t(INT_MAX)) return key;
  // The invariant upper case, code unit for code unit: the mapping the
  // file system's own case table and CompareStringOrdinal follow.
  const int length = int(key.size());
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.native().c_str(), length,
                    key.data(), length, nullptr, nullptr, 0) != length)
    return path.native();
  return key;
}

}  // namespace brinvale::platform
