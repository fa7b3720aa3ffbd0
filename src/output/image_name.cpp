#include "output/image_name.h"

#include <cstdio>

#include "common/size_text.h"

namespace brinvale {
namespace {

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

std::string ProposeDiskImageName(int diskNumber) {
  char name[48];
  std::snprintf(name, sizeof name, "Physical Disk %d", diskNumber + 1);
  return name;
}

std::string ProposePartitionImageName(const VolumeInfo& partition) {
  const std::string size = SizeText(int64_t(partition.totalBytes));
  // A number standing in for a missing letter can fall in the letters'
  // range (65 is 'A'); `numbered` keeps it a number.
  std::string head;
  if (!partition.numbered && IsLetter(partition.driveLetter))
    head = std::string(1, char(partition.driveLetter));
  else
    head = std::to_string(unsigned(partition.driveLetter));
  return head + " (" + partition.fileSystemName + ", " + size + ")";
}

}  // namespace brinvale
