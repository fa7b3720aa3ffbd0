// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "platform/folders.h"

namespace brinvale::platform {

std::filesystem::path AppDataFolder() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
    return {};
  return std::filesystem::path(buffer);
}

const char* AppDataFolderSetting() { return ""; }

}  // namespace brinvale::platform
