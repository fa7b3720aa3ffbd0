// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <string>

#include "platform/program_folders.h"

namespace brinvale::platform {

std::filesystem::path ExecutableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (got == 0) return {};
    // A full buffer means the name was cut (ERROR_INSUFFICIENT_BUFFER).
    if (got < buffer.size()) {
      buffer.resize(got);
      return std::filesystem::path(buffer).parent_path();
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path UserConfigFolder() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
    return {};
  return std::filesystem::path(buffer);
}

bool IsFolderWritable(const std::filesystem::path& folder) {
  if (folder.empty()) return false;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  const std::filesystem::path probe =
      folder / (L".brinvale-write-probe-" + std::to_wstring(GetCurrentProcessId()));
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace brinvale::platform
