#include "engines/ntfs/resident_data.h"

#include <gtest/gtest.h>

#include "common/error_codes.h"
#include "engines/ntfs/file_name_attribute.h"
#include "record_builder.h"

namespace brinvale {
namespace {

using testing::MemoryVolume;
using testing::RecordBuilder;

uint64_t Put(MemoryVolume& disk, uint64_t number, const RecordBuilder& b) {
  return disk.PutRecord(number, b.Build());
}

TEST(ReadResidentData, CopiesExactlyTheValue) {
  MemoryVolume disk;
  const std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o'};  // padded to 8 in the record
  auto sector = Put(disk, 40,
                    RecordBuilder(40)
                        .Resident(0x10, std::vector<uint8_t>(0x48, 0xEE))
                        .Resident(0x80, {'a', 'd', 's'}, u"named")  // a named stream first
                        .Resident(0x80, text));
  SectorReader reader = disk.Reader();
  std::vector<uint8_t> data;
  ASSERT_EQ(ReadResidentData(disk.volume, reader, sector, data), kOk);
  EXPECT_EQ(data, text);
}

TEST(ReadResidentData, NonResidentMissingOrUnsignedIsNotResidentData) {
  MemoryVolume disk;
  auto nonResident = Put(disk, 40, RecordBuilder(40).NonResident(0x80, {0x11, 0x01, 0x30}));
  auto noData = Put(disk, 41, RecordBuilder(41).Resident(0x10, {}));
  uint64_t zeros = 0;
  ASSERT_EQ(RecordToSector(disk.volume, 42, zeros), kOk);
  SectorReader reader = disk.Reader();
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadResidentData(disk.volume, reader, nonResident, data), -101);
  EXPECT_EQ(ReadResidentData(disk.volume, reader, noData, data), -101);
  EXPECT_EQ(ReadResidentData(disk.volume, reader, zeros, data), -101);
  EXPECT_TRUE(data.empty());
}

TEST(ReadResidentData, ValueOutsideItsAttributeIsRefused) {
  MemoryVolume disk;
  auto bytes = RecordBuilder(40).Resident(0x80, {1, 2, 3, 4}).Build();
  // The $DATA attribute is the first, at 0x38: value length at 0x48.
  StoreLe32(bytes, 0x38 + 0x10, 0x400);  // value length past the attribute
  auto sector = disk.PutRecord(40, bytes);
  StoreLe32(bytes, 0x38 + 0x10, 4);
  StoreLe16(bytes, 0x38 + 0x14, 0x08);  // value offset inside the header
  auto sector2 = disk.PutRecord(41, bytes);
  SectorReader reader = disk.Reader();
  std::vector<uint8_t> data;
  EXPECT_EQ(ReadResidentData(disk.volume, reader, sector, data), kErrInvalidParameter);
  EXPECT_EQ(ReadResidentData(disk.volume, reader, sector2, data), kErrInvalidParameter);
}

TEST(ReadDataSize, TakesTheSizeThatMatchesTheResidentFlag) {
  MemoryVolume disk;
  auto nonResident = Put(disk, 40, RecordBuilder(40).NonResident(0x80, {0x11, 0x01, 0x30}, 3000));
  auto resident = Put(disk, 41, RecordBuilder(41).Resident(0x80, std::vector<uint8_t>(77)));
  auto noData = Put(disk, 42, RecordBuilder(42).Resident(0x10, {}));
  uint64_t zeros = 0;
  ASSERT_EQ(RecordToSector(disk.volume, 43, zeros), kOk);
  SectorReader reader = disk.Reader();
  uint64_t size = 0;
  EXPECT_EQ(ReadDataSize(disk.volume, reader, nonResident, size), kOk);
  EXPECT_EQ(size, 3000u);
  EXPECT_EQ(ReadDataSize(disk.volume, reader, resident, size), kOk);
  EXPECT_EQ(size, 77u);
  EXPECT_EQ(ReadDataSize(disk.volume, reader, noData, size), kErrInvalidParameter);
  EXPECT_EQ(ReadDataSize(disk.volume, reader, zeros, size), -1);
}

std::vector<uint8_t> FileNameValue(uint64_t parent, const std::u16string& name, uint8_t space) {
  std::vector<uint8_t> v(0x42 + 2 * name.size());
  StoreLe64(v, 0x00, parent);              // parent reference
  StoreLe64(v, 0x08, 0x01D0000000000001);  // created
  StoreLe64(v, 0x10, 0x01D0000000000002);  // modified
  StoreLe64(v, 0x20, 0x01D0000000000004);  // accessed
  StoreLe64(v, 0x30, 12345);               // data size
  v[0x40] = uint8_t(name.size());          // name length
  v[0x41] = space;                         // namespace
  auto n = testing::Utf16Bytes(name);
  std::copy(n.begin(), n.end(), v.begin() + 0x42);
  return v;
}

TEST(DecodeFileName, TakesTheFieldsAndTheName) {
  auto record = RecordBuilder(40)
                    .Resident(0x30, FileNameValue(0x0003000000000123ull, u"Report.docx", 1))
                    .Build();
  std::span<const uint8_t> attribute(record.data() + 0x38, LoadLe32(record, 0x38 + 4));
  FileNameInfo info;
  ASSERT_TRUE(DecodeFileName(attribute, info));
  EXPECT_EQ(info.parentRecord, 0x123u);
  EXPECT_EQ(info.parentSequence, 3u);
  EXPECT_EQ(info.created, 0x01D0000000000001u);
  EXPECT_EQ(info.modified, 0x01D0000000000002u);
  EXPECT_EQ(info.accessed, 0x01D0000000000004u);
  EXPECT_EQ(info.dataSize, 12345u);
  EXPECT_EQ(info.nameSpace, 1u);
  EXPECT_EQ(info.name, u"Report.docx");
}

TEST(DecodeFileName, NamePastTheAttributeIsRefused) {
  auto value = FileNameValue(5, u"abc", 2);
  auto record = RecordBuilder(40).Resident(0x30, value).Build();
  std::span<uint8_t> attribute(record.data() + 0x38, LoadLe32(record, 0x38 + 4));
  attribute[0x58] = 200;  // name length: 400 bytes
  FileNameInfo info;
  info.name = u"kept";
  EXPECT_FALSE(DecodeFileName(attribute, info));
  EXPECT_EQ(info.name, u"kept");
  attribute[0x58] = 3;
  attribute[0x08] = 1;  // non-resident
  EXPECT_FALSE(DecodeFileName(attribute, info));
}

}  // namespace
}  // namespace brinvale
