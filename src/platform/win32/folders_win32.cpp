#include <shlobj.h>
#include <windows.h>

#include "platform/folders.h"

namespace brinvale::platform {

std::filesystem::path AppDataFolder() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
    return {};
  return std::filesystem::path(buffer);
}

}  // namespace brinvale::platform
