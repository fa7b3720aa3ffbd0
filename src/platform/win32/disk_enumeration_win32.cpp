#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "platform/disk_enumeration.h"
#include "platform/text.h"
#include "platform/windows_disk_replies.h"

namespace brinvale::platform {
namespace {

// The mount point manager's control codes (CTL_CODE of device type 'm').
constexpr DWORD kMountMgrQueryPoints = 0x006D0008;              // function 2, any access
constexpr DWORD kMountMgrCheckUnprocessedVolumes = 0x006DC024;  // function 9, read|write

constexpr DWORD kAllPointsReplyBytes = 24608;
constexpr DWORD kReplyGrowthBytes = 0x6000;
constexpr DWORD kDevicePointsReplyBytes = 8192;
constexpr size_t kLargestReplyBytes = 16 << 20;  // no real system needs more
constexpr DWORD kLayoutReplyBytes = 48 + 128 * 144;
constexpr DWORD kExtentsReplyBytes = 800;
constexpr int kDiskNumberLimit = 128;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::string Utf8(const wchar_t* text) {
  std::u16string wide;
  for (; *text; ++text) wide.push_back(char16_t(*text));
  return Utf16ToUtf8(wide);
}

std::wstring PhysicalDrivePath(int number) {
  wchar_t path[32];
  std::swprintf(path, 32, L"\\\\.\\PhysicalDrive%d", number);
  return path;
}

// Owns one HANDLE for the length of a query.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h) : m_h(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
  }
  HANDLE Get() const { return m_h; }
  bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_h;
};

// DeviceIoControl into a buffer that grows while the driver asks for more.
// Returns the reply (trimmed to the bytes returned), or empty with `error`.
std::vector<uint8_t> QueryGrowing(HANDLE h, DWORD code, const std::vector<uint8_t>& input,
                                  DWORD initialBytes, DWORD& error) {
  std::vector<uint8_t> reply(initialBytes);
  for (;;) {
    DWORD got = 0;
    if (DeviceIoControl(h, code, input.empty() ? nullptr : const_cast<uint8_t*>(input.data()),
                        DWORD(input.size()), reply.data(), DWORD(reply.size()), &got, nullptr)) {
      reply.resize(got);
      error = 0;
      return reply;
    }
    error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) return {};
    size_t next = reply.size() + kReplyGrowthBytes;
    if (code == kMountMgrQueryPoints)
      next = std::max<size_t>(next, win::MountPointsNeededSize(reply));
    if (next > kLargestReplyBytes) return {};
    reply.assign(next, 0);
  }
}

char16_t FindDriveLetter(const std::u16string& deviceName) {
  ScopedHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!manager.IsOpen()) return 0;
  DWORD got = 0;
  DeviceIoControl(manager.Get(), kMountMgrCheckUnprocessedVolumes, nullptr, 0, nullptr, 0, &got,
                  nullptr);
  DWORD error = 0;
  std::vector<uint8_t> reply =
      QueryGrowing(manager.Get(), kMountMgrQueryPoints, win::BuildDeviceQuery(deviceName),
                   kDevicePointsReplyBytes, error);
  return win::DriveLetterFromMountPoints(win::ParseMountPoints(reply));
}

// Fills `v` from the volume at `volumePath` (with its trailing backslash).
bool QueryVolume(const std::u16string& volumePath, SystemVolume& v) {
  std::wstring path = Wide(volumePath);
  std::wstring device = path;
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  ScopedHandle volume(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!volume.IsOpen()) return false;

  DWORD got = 0;
  std::vector<uint8_t> info(win::partition_info::kSize);
  bool placed = DeviceIoControl(volume.Get(), IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0,
                                info.data(), DWORD(info.size()), &got, nullptr) &&
                got >= info.size();
  if (placed) {
    auto place = win::ParsePartitionInformation(info);
    v.startBytes = place->startBytes;
    v.lengthBytes = place->lengthBytes;
    v.partitionType = place->partitionType;
  } else {
    // Volumes on GPT and dynamic disks: the first extent gives the place.
    v.startBytes = v.lengthBytes = 0;
    v.partitionType = 0;
    std::vector<uint8_t> extents(kExtentsReplyBytes);
    if (DeviceIoControl(volume.Get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                        extents.data(), DWORD(extents.size()), &got, nullptr)) {
      extents.resize(got);
      if (auto extent = win::ParseFirstDiskExtent(extents)) {
        v.startBytes = extent->startBytes;
        v.lengthBytes = extent->lengthBytes;
      }
    }
  }

  wchar_t label[128] = {};
  wchar_t fileSystem[32] = {};
  if (GetVolumeInformationW(path.c_str(), label, 128, nullptr, nullptr, nullptr, fileSystem, 32)) {
    v.label = Utf8(label);
    v.fileSystemName = Utf8(fileSystem);
  }

  std::vector<uint8_t> number(12);
  if (DeviceIoControl(volume.Get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, number.data(),
                      DWORD(number.size()), &got, nullptr) &&
      got >= number.size()) {
    auto parsed = win::ParseStorageDeviceNumber(number);
    v.diskNumber = int(parsed->deviceNumber);
    v.partitionNumber = int(parsed->partitionNumber);
  } else {
    v.diskNumber = v.partitionNumber = -1;
  }

  if (!placed && v.diskNumber != -1) {
    ScopedHandle disk(CreateFileW(PhysicalDrivePath(v.diskNumber).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    if (disk.IsOpen()) {
      std::vector<uint8_t> layout(kLayoutReplyBytes);
      if (DeviceIoControl(disk.Get(), IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0, layout.data(),
                          DWORD(layout.size()), &got, nullptr)) {
        layout.resize(got);
        if (auto place = win::FindPartitionInLayout(layout, uint32_t(v.partitionNumber))) {
          v.startBytes = place->startBytes;
          v.lengthBytes = place->lengthBytes;
        }
      }
    }
  }

  ULARGE_INTEGER total{}, free{};
  if (GetDiskFreeSpaceExW(path.c_str(), nullptr, &total, &free)) {
    v.spaceKnown = true;
    v.totalBytes = total.QuadPart;
    v.freeBytes = free.QuadPart;
  }
  v.volumePath = Utf16ToUtf8(volumePath);
  return true;
}

class WindowsDiskEnumeration final : public DiskEnumeration {
 public:
  int ListVolumes(std::vector<SystemVolume>& out) override {
    ScopedHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!manager.IsOpen()) return int(GetLastError());
    DWORD error = 0;
    std::vector<uint8_t> reply =
        QueryGrowing(manager.Get(), kMountMgrQueryPoints, win::BuildAllPointsQuery(),
                     kAllPointsReplyBytes, error);
    // Any other failure of the query lists nothing, which is no failure.
    for (const win::VolumeLink& link : win::SelectHardDiskVolumes(win::ParseMountPoints(reply))) {
      SystemVolume v;
      v.driveLetter = FindDriveLetter(link.deviceName);
      if (!QueryVolume(link.volumePath, v)) continue;
      out.push_back(std::move(v));
    }
    return kOk;
  }

  int QueryDisk(int diskNumber, SystemDisk& out) override {
    const std::wstring name = PhysicalDrivePath(diskNumber);
    ScopedHandle disk(CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!disk.IsOpen()) return int(GetLastError());
    DWORD got = 0;
    std::vector<uint8_t> geometry(24);
    if (!DeviceIoControl(disk.Get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, geometry.data(),
                         DWORD(geometry.size()), &got, nullptr) ||
        got < geometry.size())
      return int(GetLastError());
    out = SystemDisk{};
    out.geometry = *win::ParseDiskGeometry(geometry);
    std::vector<uint8_t> length(8);
    if (DeviceIoControl(disk.Get(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, length.data(),
                        DWORD(length.size()), &got, nullptr) &&
        got >= length.size()) {
      const uint64_t bytes = LoadLe64(length, 0);
      out.lengthBytes = bytes >> 63 ? 0 : bytes;
    }
    // STORAGE_PROPERTY_QUERY: StorageDeviceProperty (0), PropertyStandardQuery (0).
    std::vector<uint8_t> query(12, 0);
    std::vector<uint8_t> descriptor(1024);
    if (DeviceIoControl(disk.Get(), IOCTL_STORAGE_QUERY_PROPERTY, query.data(), DWORD(query.size()),
                        descriptor.data(), DWORD(descriptor.size()), &got, nullptr)) {
      descriptor.resize(got);
      if (auto d = win::ParseStorageDeviceDescriptor(descriptor)) {
        out.bus = d->bus;
        out.removable = d->removableMedia || d->bus == DiskBus::kUsb ||
                        d->bus == DiskBus::kSdCard || d->bus == DiskBus::kMmc;
      }
    }
    out.name = Utf16ToUtf8(std::u16string(name.begin(), name.end()));
    return kOk;
  }

  int DiskNumberLimit() override { return kDiskNumberLimit; }
};

}  // namespace

std::unique_ptr<DiskEnumeration> MakeSystemDiskEnumeration() {
  return std::make_unique<WindowsDiskEnumeration>();
}

int VolumeDeviceIdOfPath(const std::filesystem::path&, uint64_t&) { return kErrNotSupported; }

}  // namespace brinvale::platform
