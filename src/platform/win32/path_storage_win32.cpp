// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "platform/path_storage.h"
#include "platform/windows_disk_replies.h"

namespace brinvale::platform {
namespace {

constexpr DWORD kFirstExtentsReplyBytes = 8 + 4 * 24;
constexpr size_t kLargestExtentsReplyBytes = 1 << 20;

bool Exists(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD err = GetLastError();
  return err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND;
}

}  // namespace

int DescribePathStorage(const std::filesystem::path& path, PathStorage& out) {
  out = PathStorage{};
  std::error_code ec;
  std::filesystem::path at = std::filesystem::absolute(path.empty() ? L"." : path, ec);
  if (ec) return int(ERROR_INVALID_NAME);
  // A folder still to be made: its nearest existing parent tells.
  while (!Exists(at.native()) && at.has_relative_path()) at = at.parent_path();

  std::wstring root(MAX_PATH + 1, L'\0');
  if (!GetVolumePathNameW(at.c_str(), root.data(), DWORD(root.size())))
    return int(GetLastError());
  root.resize(wcslen(root.c_str()));
  out.known = true;
  if (root.size() == 3 && root[1] == L':' && root[2] == L'\\' &&
      ((root[0] >= L'A' && root[0] <= L'Z') || (root[0] >= L'a' && root[0] <= L'z')))
    out.driveLetter = char16_t(root[0] & ~0x20);

  // A network share has no volume name and lies on no local disk.
  wchar_t volumeName[64] = {};
  if (!GetVolumeNameForVolumeMountPointW(root.c_str(), volumeName, DWORD(std::size(volumeName))))
    return kOk;
  std::wstring device = volumeName;  // "\\?\Volume{...}\"
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  HANDLE volume = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (volume == INVALID_HANDLE_VALUE) return kOk;
  std::vector<uint8_t> reply(kFirstExtentsReplyBytes);
  bool answered = false;
  for (;;) {
    DWORD got = 0;
    if (DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, reply.data(),
                        DWORD(reply.size()), &got, nullptr)) {
      reply.resize(got);
      answered = true;
      break;
    }
    const DWORD err = GetLastError();
    const size_t needed = win::DiskExtentsNeededSize(reply);
    if ((err != ERROR_MORE_DATA && err != ERROR_INSUFFICIENT_BUFFER) || needed <= reply.size() ||
        needed > kLargestExtentsReplyBytes)
      break;
    reply.assign(needed, 0);
  }
  CloseHandle(volume);
  if (!answered) return kOk;
  for (const win::DiskExtent& e : win::ParseDiskExtents(reply))
    out.extents.push_back({int(e.diskNumber), "PhysicalDrive" + std::to_string(e.diskNumber),
                           e.startBytes, e.lengthBytes});
  return kOk;
}

}  // namespace brinvale::platform
