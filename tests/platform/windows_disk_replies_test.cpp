#include "platform/windows_disk_replies.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/bytes.h"

namespace brinvale::platform::win {
namespace {

void StoreName(std::vector<uint8_t>& b, size_t at, std::u16string_view name) {
  for (size_t i = 0; i < name.size(); ++i) StoreLe16(b, at + i * 2, name[i]);
}

// A MOUNTMGR_MOUNT_POINTS reply with the given (link, device) pairs; the
// names follow the entries.
std::vector<uint8_t> MountPointsReply(
    const std::vector<std::pair<std::u16string, std::u16string>>& points) {
  size_t names = mount_points::kFirst + points.size() * mount_point::kSize;
  size_t total = names;
  for (const auto& [link, device] : points) total += (link.size() + device.size()) * 2;
  std::vector<uint8_t> b(total, 0);
  StoreLe32(b, mount_points::kSize, uint32_t(total));           // Size
  StoreLe32(b, mount_points::kCount, uint32_t(points.size()));  // NumberOfMountPoints
  for (size_t i = 0; i < points.size(); ++i) {
    const size_t entry = mount_points::kFirst + i * mount_point::kSize;
    const auto& [link, device] = points[i];
    StoreLe32(b, entry + mount_point::kSymbolicLinkNameOffset, uint32_t(names));
    StoreLe16(b, entry + mount_point::kSymbolicLinkNameLength, uint16_t(link.size() * 2));
    StoreName(b, names, link);
    names += link.size() * 2;
    StoreLe32(b, entry + mount_point::kDeviceNameOffset, uint32_t(names));
    StoreLe16(b, entry + mount_point::kDeviceNameLength, uint16_t(device.size() * 2));
    StoreName(b, names, device);
    names += device.size() * 2;
  }
  return b;
}

TEST(MountPoints, ParsesLinksAndDeviceNames) {
  auto reply = MountPointsReply({{u"\\DosDevices\\C:", u"\\Device\\HarddiskVolume3"},
                                 {u"\\??\\Volume{1234}", u"\\Device\\HarddiskVolume3"}});
  auto entries = ParseMountPoints(reply);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].symbolicLink, u"\\DosDevices\\C:");
  EXPECT_EQ(entries[1].symbolicLink, u"\\??\\Volume{1234}");
  EXPECT_EQ(entries[1].deviceName, u"\\Device\\HarddiskVolume3");
  EXPECT_EQ(MountPointsNeededSize(reply), reply.size());
}

TEST(MountPoints, SkipsNamesOutsideTheReplyAndCountsBeyondIt) {
  auto reply = MountPointsReply({{u"\\??\\Volume{a}", u"\\Device\\HarddiskVolume1"},
                                 {u"\\??\\Volume{b}", u"\\Device\\HarddiskVolume2"}});
  // Entry 0's device name runs past the end of the reply.
  StoreLe16(reply, mount_points::kFirst + mount_point::kDeviceNameLength, 0xFFFE);
  // The count claims far more entries than the reply holds.
  StoreLe32(reply, mount_points::kCount, 100000);
  auto entries = ParseMountPoints(reply);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].deviceName, u"\\Device\\HarddiskVolume2");
  EXPECT_TRUE(ParseMountPoints(std::span<const uint8_t>(reply.data(), 7)).empty());
  EXPECT_EQ(MountPointsNeededSize(std::span<const uint8_t>(reply.data(), 7)), 0u);
}

TEST(MountPoints, DeviceQueryPutsTheNameAfterTheHeader) {
  auto query = BuildDeviceQuery(u"\\Device\\HarddiskVolume7");
  ASSERT_EQ(query.size(), 24u + 23 * 2);
  EXPECT_EQ(LoadLe32(query, mount_point::kSymbolicLinkNameOffset), 0u);
  EXPECT_EQ(LoadLe32(query, mount_point::kUniqueIdOffset), 0u);
  EXPECT_EQ(LoadLe32(query, mount_point::kDeviceNameOffset), 24u);
  EXPECT_EQ(LoadLe16(query, mount_point::kDeviceNameLength), 46u);
  EXPECT_EQ(LoadLe16(query, 24), u'\\');
  EXPECT_EQ(LoadLe16(query, 24 + 22 * 2), u'7');
  EXPECT_EQ(BuildAllPointsQuery(), std::vector<uint8_t>(24, 0));
}

TEST(MountPoints, SelectsHardDiskVolumesOncePerDevice) {
  std::vector<MountPointEntry> entries = {
      {u"\\DosDevices\\C:", u"\\Device\\HarddiskVolume3"},  // letter link: passed over
      {u"\\??\\Volume{c}", u"\\Device\\HarddiskVolume3"},   // kept
      {u"\\??\\Volume{cd}", u"\\Device\\CdRom0"},           // not a hard disk
      {u"\\??\\Volume{d}", u"\\Device\\HarddiskVolume4"},   // kept
      {u"\\??\\Volume{c2}", u"\\Device\\HarddiskVolume3"},  // second link of volume 3
  };
  auto volumes = SelectHardDiskVolumes(entries);
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(volumes[0].volumePath, u"\\\\?\\Volume{c}\\");
  EXPECT_EQ(volumes[0].deviceName, u"\\Device\\HarddiskVolume3");
  EXPECT_EQ(volumes[1].volumePath, u"\\\\?\\Volume{d}\\");
}

TEST(MountPoints, LinkFormsAndDriveLetters) {
  EXPECT_TRUE(IsVolumeGuidLink(u"\\??\\Volume{x}"));
  EXPECT_TRUE(IsVolumeGuidLink(u"\\\\?\\Volume{x}"));
  EXPECT_FALSE(IsVolumeGuidLink(u"\\DosDevices\\E:"));
  EXPECT_FALSE(IsVolumeGuidLink(u"?"));
  EXPECT_EQ(DriveLetterFromMountPoints(
                {{u"", u"d"}, {u"\\??\\Volume{x}", u"d"}, {u"\\DosDevices\\E:", u"d"}}),
            u'E');
  EXPECT_EQ(DriveLetterFromMountPoints({{u"\\??\\Volume{x}", u"d"}}), 0);
  EXPECT_EQ(DriveLetterFromMountPoints({{u"\\DosDevices\\", u"d"}}), 0);
}

TEST(PartitionInformation, ReadsPlaceNumberAndType) {
  std::vector<uint8_t> b(32, 0);
  StoreLe64(b, 0, 1048576);    // StartingOffset
  StoreLe64(b, 8, 536870912);  // PartitionLength
  StoreLe32(b, 16, 2048);      // HiddenSectors
  StoreLe32(b, 20, 2);         // PartitionNumber
  b[24] = 0x07;                // PartitionType
  auto p = ParsePartitionInformation(b);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->startBytes, 1048576u);
  EXPECT_EQ(p->lengthBytes, 536870912u);
  EXPECT_EQ(p->partitionNumber, 2u);
  EXPECT_EQ(p->partitionType, 0x07);
  EXPECT_FALSE(ParsePartitionInformation(std::span<const uint8_t>(b.data(), 31)));
}

TEST(DiskExtents, FirstExtentGivesThePlace) {
  std::vector<uint8_t> b(8 + 2 * 24, 0);
  StoreLe32(b, 0, 2);            // NumberOfDiskExtents
  StoreLe32(b, 8, 1);            // [0].DiskNumber
  StoreLe64(b, 16, 0x100000);    // [0].StartingOffset
  StoreLe64(b, 24, 0x40000000);  // [0].ExtentLength
  StoreLe32(b, 32, 2);           // [1].DiskNumber
  auto e = ParseFirstDiskExtent(b);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->diskNumber, 1u);
  EXPECT_EQ(e->startBytes, 0x100000u);
  EXPECT_EQ(e->lengthBytes, 0x40000000u);
  StoreLe32(b, 0, 0);
  EXPECT_FALSE(ParseFirstDiskExtent(b));
  EXPECT_FALSE(ParseFirstDiskExtent(std::span<const uint8_t>(b.data(), 31)));
}

TEST(DiskExtents, EveryExtentOfASpannedVolumeWithinTheReply) {
  std::vector<uint8_t> b(8 + 2 * 24, 0);
  StoreLe32(b, 0, 3);            // NumberOfDiskExtents: one more than the reply holds
  StoreLe32(b, 8, 1);            // [0].DiskNumber
  StoreLe64(b, 16, 0x100000);    // [0].StartingOffset
  StoreLe64(b, 24, 0x40000000);  // [0].ExtentLength
  StoreLe32(b, 32, 2);           // [1].DiskNumber
  StoreLe64(b, 40, 0x8000);      // [1].StartingOffset
  StoreLe64(b, 48, 0x2000);      // [1].ExtentLength
  auto all = ParseDiskExtents(b);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].diskNumber, 1u);
  EXPECT_EQ(all[0].lengthBytes, 0x40000000u);
  EXPECT_EQ(all[1].diskNumber, 2u);
  EXPECT_EQ(all[1].startBytes, 0x8000u);
  EXPECT_EQ(all[1].lengthBytes, 0x2000u);
  EXPECT_EQ(DiskExtentsNeededSize(b), 8u + 3 * 24);
  EXPECT_TRUE(ParseDiskExtents(std::span<const uint8_t>(b.data(), 7)).empty());
  StoreLe32(b, 0, 0);
  EXPECT_TRUE(ParseDiskExtents(b).empty());
}

TEST(StorageDeviceNumber, ReadsDiskAndPartition) {
  std::vector<uint8_t> b(12, 0);
  StoreLe32(b, 0, 7);  // DeviceType FILE_DEVICE_DISK
  StoreLe32(b, 4, 3);  // DeviceNumber
  StoreLe32(b, 8, 2);  // PartitionNumber
  auto n = ParseStorageDeviceNumber(b);
  ASSERT_TRUE(n);
  EXPECT_EQ(n->deviceNumber, 3u);
  EXPECT_EQ(n->partitionNumber, 2u);
  EXPECT_FALSE(ParseStorageDeviceNumber(std::span<const uint8_t>(b.data(), 11)));
}

// A DRIVE_LAYOUT_INFORMATION_EX reply with `count` entries.
std::vector<uint8_t> LayoutReply(uint32_t style, uint32_t count) {
  std::vector<uint8_t> b(layout_ex::kFirstEntry + count * layout_ex::kEntrySize, 0);
  StoreLe32(b, layout_ex::kPartitionStyle, style);
  StoreLe32(b, layout_ex::kPartitionCount, count);
  return b;
}

void StoreLayoutEntry(std::vector<uint8_t>& b, size_t index, uint64_t start, uint64_t length,
                      uint32_t number, uint8_t mbrType) {
  const size_t at = layout_ex::kFirstEntry + index * layout_ex::kEntrySize;
  StoreLe64(b, at + layout_ex::kEntryStartingOffset, start);
  StoreLe64(b, at + layout_ex::kEntryPartitionLength, length);
  StoreLe32(b, at + layout_ex::kEntryPartitionNumber, number);
  b[at + layout_ex::kEntryMbrType] = mbrType;
}

TEST(DriveLayout, FindsTheFirstPlacedEntryWithTheNumber) {
  auto b = LayoutReply(layout_ex::kStyleMbr, 4);
  StoreLayoutEntry(b, 0, 0, 0, 2, 0);  // unused slot, offset 0
  StoreLayoutEntry(b, 1, 1048576, 1000000, 1, 0x0C);
  StoreLayoutEntry(b, 2, 5242880, 2000000, 2, 0x07);  // the one
  StoreLayoutEntry(b, 3, 9999999, 3000000, 2, 0x83);  // later duplicate
  auto p = FindPartitionInLayout(b, 2);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->startBytes, 5242880u);
  EXPECT_EQ(p->lengthBytes, 2000000u);
  EXPECT_EQ(p->partitionType, 0x07);
  EXPECT_FALSE(FindPartitionInLayout(b, 0)) << "number 0 never matches";
  EXPECT_FALSE(FindPartitionInLayout(b, 9));
}

TEST(DriveLayout, GptEntriesHaveNoTypeByteAndCountsAreBounded) {
  auto b = LayoutReply(layout_ex::kStyleGpt, 1);
  StoreLayoutEntry(b, 0, 1048576, 1000000, 1, 0xAA);  // 0xAA is a GUID byte here
  StoreLe32(b, layout_ex::kPartitionCount, 1000);     // more than the reply holds
  auto p = FindPartitionInLayout(b, 1);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->partitionType, 0);
  EXPECT_FALSE(FindPartitionInLayout(b, 2));
  EXPECT_FALSE(FindPartitionInLayout(std::span<const uint8_t>(b.data(), 47), 1));
}

TEST(DiskGeometry, ReadsTheFourFields) {
  std::vector<uint8_t> b(24, 0);
  StoreLe64(b, 0, 1024);   // Cylinders
  StoreLe32(b, 8, 12);     // MediaType FixedMedia
  StoreLe32(b, 12, 255);   // TracksPerCylinder
  StoreLe32(b, 16, 63);    // SectorsPerTrack
  StoreLe32(b, 20, 4096);  // BytesPerSector
  auto g = ParseDiskGeometry(b);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->cylinders, 1024u);
  EXPECT_EQ(g->tracksPerCylinder, 255u);
  EXPECT_EQ(g->sectorsPerTrack, 63u);
  EXPECT_EQ(g->bytesPerSector, 4096u);
  StoreLe64(b, 0, ~uint64_t(0));  // a negative LARGE_INTEGER
  EXPECT_EQ(ParseDiskGeometry(b)->cylinders, 0u);
  EXPECT_FALSE(ParseDiskGeometry(std::span<const uint8_t>(b.data(), 23)));
}

TEST(StorageDeviceDescriptor, ReadsRemovableAndBus) {
  std::vector<uint8_t> b(40, 0);
  StoreLe32(b, 0, 1);   // Version
  StoreLe32(b, 4, 40);  // Size
  b[10] = 1;            // RemovableMedia
  StoreLe32(b, 28, 7);  // BusType: USB
  auto d = ParseStorageDeviceDescriptor(b);
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->removableMedia);
  EXPECT_EQ(d->bus, DiskBus::kUsb);
  b[10] = 0;
  StoreLe32(b, 28, 0x11);  // NVMe
  EXPECT_FALSE(ParseStorageDeviceDescriptor(b)->removableMedia);
  EXPECT_EQ(ParseStorageDeviceDescriptor(b)->bus, DiskBus::kNvme);
  EXPECT_EQ(BusFromStorageBusType(0xB), DiskBus::kSata);
  EXPECT_EQ(BusFromStorageBusType(0x99), DiskBus::kOther);
  EXPECT_FALSE(ParseStorageDeviceDescriptor(std::span<const uint8_t>(b.data(), 31)));
}

}  // namespace
}  // namespace brinvale::platform::win
