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

}  // namespace brinvale::platform
