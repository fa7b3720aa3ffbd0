#include "platform/windows_disk_replies.h"

#include <algorithm>
#include <set>

#include "common/bytes.h"

namespace brinvale::platform::win {
namespace {

// A UTF-16LE name at [offset, offset + length) of `reply`; empty when it
// does not lie inside.
std::optional<std::u16string> NameAt(std::span<const uint8_t> reply, uint64_t offset,
                                     uint64_t length) {
  if (offset > reply.size() || length > reply.size() - offset) return std::nullopt;
  std::u16string name;
  name.reserve(size_t(length / 2));
  for (uint64_t i = 0; i + 1 < length; i += 2) name.push_back(LoadLe16(reply, size_t(offset + i)));
  return name;
}

bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

}  // namespace

uint32_t MountPointsNeededSize(std::span<const uint8_t> reply) {
  if (reply.size() < mount_points::kFirst) return 0;
  return LoadLe32(reply, mount_points::kSize);
}

std::vector<MountPointEntry> ParseMountPoints(std::span<const uint8_t> reply) {
  std::vector<MountPointEntry> entries;
  if (reply.size() < mount_points::kFirst) return entries;
  const uint64_t count = LoadLe32(reply, mount_points::kCount);
  const uint64_t room = (reply.size() - mount_points::kFirst) / mount_point::kSize;
  for (uint64_t i = 0; i < count && i < room; ++i) {
    const std::span<const uint8_t> point =
        reply.subspan(size_t(mount_points::kFirst + i * mount_point::kSize), mount_point::kSize);
    auto link = NameAt(reply, LoadLe32(point, mount_point::kSymbolicLinkNameOffset),
                       LoadLe16(point, mount_point::kSymbolicLinkNameLength));
    auto device = NameAt(reply, LoadLe32(point, mount_point::kDeviceNameOffset),
                         LoadLe16(point, mount_point::kDeviceNameLength));
    if (!link || !device) continue;
    entries.push_back({std::move(*link), std::move(*device)});
  }
  return entries;
}

std::vector<uint8_t> BuildAllPointsQuery() { return std::vector<uint8_t>(mount_point::kSize, 0); }

std::vector<uint8_t> BuildDeviceQuery(std::u16string_view deviceName) {
  // Names longer than a u16 byte count can say are cut to fit.
  const size_t chars = std::min<size_t>(deviceName.size(), 0xFFFF / 2);
  std::vector<uint8_t> query(mount_point::kSize + chars * 2, 0);
  StoreLe32(query, mount_point::kDeviceNameOffset, uint32_t(mount_point::kSize));
  StoreLe16(query, mount_point::kDeviceNameLength, uint16_t(chars * 2));
  for (size_t i = 0; i < chars; ++i) StoreLe16(query, mount_point::kSize + i * 2, deviceName[i]);
  return query;
}

bool IsVolumeGuidLink(std::u16string_view link) {
  if (link.size() >= 2 && link[1] == u'?') return true;
  return link.size() >= 3 && (link[2] == u'?' || link[2] == u'\\');
}

std::u16string VolumePathFromLink(std::u16string_view link) {
  std::u16string path(link);
  if (path.size() >= 2) path[1] = u'\\';
  path.push_back(u'\\');
  return path;
}

std::vector<VolumeLink> SelectHardDiskVolumes(const std::vector<MountPointEntry>& entries) {
  std::vector<VolumeLink> volumes;
  // One record per device, whatever order the links arrive in.
  std::set<std::u16string> seen;
  for (const MountPointEntry& entry : entries) {
    if (!IsVolumeGuidLink(entry.symbolicLink)) continue;
    if (!Contains(entry.deviceName, u"Harddisk")) continue;
    if (!seen.insert(entry.deviceName).second) continue;
    volumes.push_back({VolumePathFromLink(entry.symbolicLink), entry.deviceName});
  }
  return volumes;
}

char16_t DriveLetterFromMountPoints(const std::vector<MountPointEntry>& entries) {
  static constexpr std::u16string_view kDosDevices = u"\\DosDevices\\";
  for (const MountPointEntry& entry : entries) {
    if (entry.symbolicLink.empty()) continue;
    const size_t at = entry.symbolicLink.find(kDosDevices);
    if (at == std::u16string::npos) continue;
    const size_t letter = at + kDosDevices.size();
    if (letter < entry.symbolicLink.size()) return entry.symbolicLink[letter];
    return 0;
  }
  return 0;
}

std::optional<PartitionPlace> ParsePartitionInformation(std::span<const uint8_t> reply) {
  if (reply.size() < partition_info::kSize) return std::nullopt;
  PartitionPlace place;
  place.startBytes = LoadLe64(reply, partition_info::kStartingOffset);
  place.lengthBytes = LoadLe64(reply, partition_info::kPartitionLength);
  place.partitionNumber = LoadLe32(reply, partition_info::kPartitionNumber);
  place.partitionType = reply[partition_info::kPartitionType];
  return place;
}

std::optional<DiskExtent> ParseFirstDiskExtent(std::span<const uint8_t> reply) {
  if (reply.size() < disk_extents::kFirst + disk_extents::kExtentSize) return std::nullopt;
  if (LoadLe32(reply, disk_extents::kCount) == 0) return std::nullopt;
  const std::span<const uint8_t> extent =
      reply.subspan(disk_extents::kFirst, disk_extents::kExtentSize);
  DiskExtent out;
  out.diskNumber = LoadLe32(extent, disk_extents::kDiskNumber);
  out.startBytes = LoadLe64(extent, disk_extents::kStartingOffset);
  out.lengthBytes = LoadLe64(extent, disk_extents::kExtentLength);
  return out;
}

std::vector<DiskExtent> ParseDiskExtents(std::span<const uint8_t> reply) {
  std::vector<DiskExtent> out;
  if (reply.size() < disk_extents::kFirst) return out;
  const uint64_t count = LoadLe32(reply, disk_extents::kCount);
  const uint64_t room = (reply.size() - disk_extents::kFirst) / disk_extents::kExtentSize;
  for (uint64_t i = 0; i < count && i < room; ++i) {
    const std::span<const uint8_t> extent =
        reply.subspan(disk_extents::kFirst + size_t(i) * disk_extents::kExtentSize,
                      disk_extents::kExtentSize);
    out.push_back({LoadLe32(extent, disk_extents::kDiskNumber),
                   LoadLe64(extent, disk_extents::kStartingOffset),
                   LoadLe64(extent, disk_extents::kExtentLength)});
  }
  return out;
}

size_t DiskExtentsNeededSize(std::span<const uint8_t> reply) {
  if (reply.size() < disk_extents::kFirst) return disk_extents::kFirst + disk_extents::kExtentSize;
  return disk_extents::kFirst + size_t(LoadLe32(reply, disk_extents::kCount)) * disk_extents::kExtentSize;
}

std::optional<DeviceNumber> ParseStorageDeviceNumber(std::span<const uint8_t> reply) {
  if (reply.size() < 12) return std::nullopt;
  return DeviceNumber{LoadLe32(reply, 0), LoadLe32(reply, 4), LoadLe32(reply, 8)};
}

std::optional<PartitionPlace> FindPartitionInLayout(std::span<const uint8_t> reply,
                                                    uint32_t partitionNumber) {
  if (partitionNumber == 0 || reply.size() < layout_ex::kFirstEntry) return std::nullopt;
  const uint32_t style = LoadLe32(reply, layout_ex::kPartitionStyle);
  const uint64_t count = LoadLe32(reply, layout_ex::kPartitionCount);
  const uint64_t room = (reply.size() - layout_ex::kFirstEntry) / layout_ex::kEntrySize;
  for (uint64_t i = 0; i < count && i < room; ++i) {
    const std::span<const uint8_t> entry = reply.subspan(
        size_t(layout_ex::kFirstEntry + i * layout_ex::kEntrySize), layout_ex::kEntrySize);
    const uint64_t start = LoadLe64(entry, layout_ex::kEntryStartingOffset);
    const uint32_t number = LoadLe32(entry, layout_ex::kEntryPartitionNumber);
    if (start == 0 || number != partitionNumber) continue;
    PartitionPlace place;
    place.startBytes = start;
    place.lengthBytes = LoadLe64(entry, layout_ex::kEntryPartitionLength);
    place.partitionNumber = number;
    place.partitionType = style == layout_ex::kStyleMbr ? entry[layout_ex::kEntryMbrType] : 0;
    return place;
  }
  return std::nullopt;
}

std::optional<DiskGeometry> ParseDiskGeometry(std::span<const uint8_t> reply) {
  if (reply.size() < 24) return std::nullopt;
  DiskGeometry g;
  g.cylinders = LoadLe64(reply, 0);
  g.tracksPerCylinder = LoadLe32(reply, 12);
  g.sectorsPerTrack = LoadLe32(reply, 16);
  g.bytesPerSector = LoadLe32(reply, 20);
  // A negative cylinder count is nonsense from a driver; treat it as none.
  if (g.cylinders >> 63) g.cylinders = 0;
  return g;
}

DiskBus BusFromStorageBusType(uint32_t busType) {
  switch (busType) {
    case 0x00: return DiskBus::kUnknown;
    case 0x01: return DiskBus::kScsi;
    case 0x02:  // ATAPI
    case 0x03: return DiskBus::kAta;
    case 0x07: return DiskBus::kUsb;
    case 0x08: return DiskBus::kRaid;
    case 0x09: return DiskBus::kScsi;  // iSCSI
    case 0x0A: return DiskBus::kSas;
    case 0x0B: return DiskBus::kSata;
    case 0x0C: return DiskBus::kSdCard;
    case 0x0D: return DiskBus::kMmc;
    case 0x0E: return DiskBus::kVirtual;
    case 0x0F: return DiskBus::kFileBacked;
    case 0x10: return DiskBus::kVirtual;  // storage spaces
    case 0x11: return DiskBus::kNvme;
    default: return DiskBus::kOther;
  }
}

std::optional<StorageDescriptor> ParseStorageDeviceDescriptor(std::span<const uint8_t> reply) {
  if (reply.size() < 32) return std::nullopt;
  StorageDescriptor d;
  d.removableMedia = reply[10] != 0;
  d.bus = BusFromStorageBusType(LoadLe32(reply, 28));
  return d;
}

}  // namespace brinvale::platform::win
