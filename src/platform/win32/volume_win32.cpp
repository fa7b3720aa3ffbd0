#include <windows.h>

#include <string>

#include "common/error_codes.h"
#include "platform/text.h"
#include "platform/volume.h"

namespace brinvale::platform {
namespace {

// The root of the volume that holds `path` ("C:\", "\\server\share\", or a
// mounted folder), or the path's own root when the system cannot tell.
std::wstring VolumeRoot(const std::filesystem::path& path) {
  std::filesystem::path full = path;
  std::error_code ec;
  if (full.is_relative()) full = std::filesystem::absolute(path, ec);
  std::wstring root(MAX_PATH + 1, L'\0');
  if (GetVolumePathNameW(full.c_str(), root.data(), DWORD(root.size()))) {
    root.resize(wcslen(root.c_str()));
    return root;
  }
  return full.root_path().wstring();
}

}  // namespace

int VolumeFreeSpace(const std::filesystem::path& path, uint64_t& freeBytes) {
  std::wstring root = VolumeRoot(path);
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return int(GetLastError());
  freeBytes = uint64_t(available.QuadPart);
  return kOk;
}

int VolumeFileSystemName(const std::filesystem::path& path, std::string& name) {
  std::wstring root = VolumeRoot(path);
  wchar_t fsName[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fsName,
                             DWORD(std::size(fsName))))
    return int(GetLastError());
  std::wstring_view w(fsName);
  name = Utf16ToUtf8(std::u16string(w.begin(), w.end())).substr(0, 31);
  return kOk;
}

int DriveLetterFreeSpace(char16_t letter, uint64_t& freeBytes) {
  const char16_t upper = letter >= u'a' && letter <= u'z' ? char16_t(letter - u'a' + u'A') : letter;
  if (upper < u'A' || upper > u'Z') return kErrNotSupported;
  const wchar_t root[] = {wchar_t(upper), L':', L'\\', L'\0'};
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return int(GetLastError());
  freeBytes = uint64_t(sectorsPerCluster) * freeClusters * bytesPerSector;
  return kOk;
}

std::filesystem::path DriveRoot(char16_t letter) {
  return std::filesystem::path(std::wstring{wchar_t(letter), L':', L'\\'});
}

}  // namespace brinvale::platform
