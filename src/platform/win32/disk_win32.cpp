// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <string>

#include "common/error_codes.h"
#include "platform/disk.h"

namespace brinvale::platform {

std::vector<std::string> WholeDiskNames(const std::filesystem::path&) { return {}; }

std::filesystem::path DiskPath(int number) {
  if (number < 0) return {};
  return std::filesystem::path(L"\\\\.\\PhysicalDrive" + std::to_wstring(number));
}

int OpenDisk(int number, UniqueHandle& out) {
  std::filesystem::path path = DiskPath(number);
  if (path.empty()) return kErrFileNotFound;
  return OpenFile(path, OpenMode::kReadExisting, out);
}

int QueryDiskGeometry(const UniqueHandle& disk, DiskGeometry& out) {
  if (!disk.IsOpen()) return kErrInvalidHandle;
  DISK_GEOMETRY g{};
  DWORD returned = 0;
  if (!DeviceIoControl(disk.Get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g, sizeof g,
                       &returned, nullptr))
    return int(GetLastError());
  out = DiskGeometry{};
  out.bytesPerSector = g.BytesPerSector != 0 ? uint32_t(g.BytesPerSector) : 512;
  out.cylinders = g.Cylinders.QuadPart > 0 ? uint64_t(g.Cylinders.QuadPart) : 0;
  out.tracksPerCylinder = uint32_t(g.TracksPerCylinder);
  out.sectorsPerTrack = uint32_t(g.SectorsPerTrack);
  return kOk;
}

int QueryDiskLength(const UniqueHandle& disk, uint64_t& bytes) {
  if (!disk.IsOpen()) return kErrInvalidHandle;
  GET_LENGTH_INFORMATION info{};
  DWORD returned = 0;
  if (DeviceIoControl(disk.Get(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info,
                      &returned, nullptr)) {
    bytes = uint64_t(info.Length.QuadPart);
    return kOk;
  }
  int rc = int(GetLastError());
  // A regular file (an image) answers its size.
  LARGE_INTEGER size{};
  if (GetFileSizeEx(disk.Get(), &size)) {
    bytes = uint64_t(size.QuadPart);
    return kOk;
  }
  return rc;
}

void FlushVolume(const std::filesystem::path& volume) {
  // FlushFileBuffers on a volume handle writes out the whole volume's cache;
  // it needs write access to the volume (administrator rights).
  HANDLE h = CreateFileW(volume.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  (void)FlushFileBuffers(h);
  CloseHandle(h);
}

void FlushVolumeLetter(char16_t driveLetter) {
  if (!((driveLetter >= u'A' && driveLetter <= u'Z') ||
        (driveLetter >= u'a' && driveLetter <= u'z')))
    return;
  wchar_t name[] = L"\\\\.\\?:";
  name[4] = wchar_t(driveLetter);
  FlushVolume(std::filesystem::path(name));
}

}  // namespace brinvale::platform
