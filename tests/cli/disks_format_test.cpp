// The disk list as `disks` prints it: where each record came from and why a
// disk's table cannot be trusted.
#include <gtest/gtest.h>

#include <string>

#include "cli/disks_command.h"

namespace brinvale {
namespace {

DiskMap DiskWithTablePartitions(const std::string& problem) {
  VolumeInfo whole;
  whole.kind = VolumeInfo::Kind::kWholeDisk;
  whole.diskNumber = 3;
  whole.length = 98304;
  whole.volumePath = "/dev/loop7";
  whole.tableProblem = problem;
  VolumeInfo part;
  part.kind = VolumeInfo::Kind::kVolume;
  part.origin = VolumeInfo::Origin::kPartitionTable;
  part.diskNumber = 3;
  part.partitionNumber = 1;
  part.typeCode = 6;
  part.start = 2048;
  part.length = 32768;
  part.driveLetter = 2;
  part.numbered = true;
  part.volumePath = "/dev/loop7";
  part.tableProblem = problem;
  DiskMap disks;
  if (!problem.empty()) disks[3].push_back(whole);
  disks[3].push_back(part);
  return disks;
}

TEST(DiskList, SaysWhichRecordsCameFromTheTableAndWhyItIsDamaged) {
  const std::string sound = cli::FormatDiskList(DiskWithTablePartitions(""));
  EXPECT_NE(sound.find("#2   volume part 1   type 0x06 start 2048"), std::string::npos) << sound;
  EXPECT_NE(sound.find("/dev/loop7 (from the partition table)\n"), std::string::npos) << sound;
  EXPECT_EQ(sound.find("damaged"), std::string::npos) << sound;

  const std::string damaged =
      cli::FormatDiskList(DiskWithTablePartitions("partition 2 overlaps partition 1"));
  EXPECT_NE(damaged.find("disk   part -1  type 0x00 start 0"), std::string::npos) << damaged;
  EXPECT_NE(damaged.find("(partition table damaged: partition 2 overlaps partition 1; scan the "
                         "disk whole)\n"),
            std::string::npos)
      << damaged;

  const std::string json =
      cli::FormatDiskListJson(DiskWithTablePartitions("partition 2 overlaps partition 1"));
  EXPECT_NE(json.find("\"kind\": \"disk\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"origin\": \"table\", \"tableProblem\": \"partition 2 overlaps "
                      "partition 1\"}"),
            std::string::npos)
      << json;
  const std::string plain = cli::FormatDiskListJson(DiskWithTablePartitions(""));
  EXPECT_NE(plain.find("\"origin\": \"table\", \"tableProblem\": null}"), std::string::npos)
      << plain;
}

}  // namespace
}  // namespace brinvale
