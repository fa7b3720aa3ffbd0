#include "engines/ntfs/fixups.h"

#include <gtest/gtest.h>

#include "record_builder.h"

namespace brinvale {
namespace {

using testing::RecordBuilder;

// A record whose every 512-byte block ends in a distinct value, so a block
// end left unrepaired shows.
std::vector<uint8_t> MarkedRecord(uint32_t size) {
  std::vector<uint8_t> value(size - 0x100);
  for (size_t i = 0; i < value.size(); ++i) value[i] = uint8_t(i * 13 + 1);
  return RecordBuilder(70, size).Resident(0x80, value).Build(0x0A0B);
}

TEST(ApplyFixups, RestoresBothBlockEndsOfAKilobyteRecord) {
  auto record = MarkedRecord(1024);
  const uint16_t saved0 = LoadLe16(record, 0x32);  // entry 1
  const uint16_t saved1 = LoadLe16(record, 0x34);  // entry 2
  EXPECT_EQ(LoadLe16(record, 510), 0x0A0B);
  EXPECT_EQ(LoadLe16(record, 1022), 0x0A0B);
  EXPECT_TRUE(ApplyFixups(record, 1024));
  EXPECT_EQ(LoadLe16(record, 510), saved0);
  EXPECT_EQ(LoadLe16(record, 1022), saved1);
}

TEST(ApplyFixups, FourKilobyteRecordCarriesEightEntries) {
  auto record = MarkedRecord(4096);
  EXPECT_EQ(LoadLe16(record, 0x06), 9);  // update sequence count: 8 entries + 1
  std::vector<uint16_t> saved;
  for (size_t i = 0; i < 8; ++i) saved.push_back(LoadLe16(record, 0x32 + 2 * i));
  EXPECT_TRUE(ApplyFixups(record, 4096));
  for (size_t i = 0; i < 8; ++i)
    EXPECT_EQ(LoadLe16(record, 512 * (i + 1) - 2), saved[i]) << "block " << i;
}

TEST(ApplyFixups, TornBlockIsReportedAndStillRepaired) {
  auto record = MarkedRecord(1024);
  StoreLe16(record, 1022, 0x0A0C);  // second block written by another update
  const uint16_t saved1 = LoadLe16(record, 0x34);
  EXPECT_FALSE(ApplyFixups(record, 1024));
  EXPECT_EQ(LoadLe16(record, 1022), saved1);
}

TEST(ApplyFixups, HeaderCountThatDisagreesIsReported) {
  auto record = MarkedRecord(1024);
  StoreLe16(record, 0x06, 9);  // claims 8 entries in a 2-block record
  EXPECT_FALSE(ApplyFixups(record, 1024));
}

TEST(ApplyFixups, SizeThatIsNotWholeBlocksOrLongerThanTheBufferIsRefused) {
  auto record = MarkedRecord(1024);
  const auto before = record;
  EXPECT_FALSE(ApplyFixups(record, 1000));
  EXPECT_FALSE(ApplyFixups(record, 2048));
  EXPECT_FALSE(ApplyFixups(std::span(record).first(512), 1024));
  EXPECT_EQ(record, before);
}

}  // namespace
}  // namespace brinvale
