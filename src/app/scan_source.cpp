#include "app/scan_source.h"

#include "app/message_format.h"
#include "platform/text.h"

namespace brinvale {

std::string ScanSource::ImageName() const {
  const std::string path = platform::PathToUtf8(imagePath);
  const size_t cut = path.find_last_of("/\\");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  if (imagePartition) name += " #" + std::to_string(imagePartition->number);
  return name;
}

bool HasDriveLetter(const VolumeInfo& partition) {
  const char16_t c = partition.driveLetter;
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

uint16_t UnusedSourceKey(const std::vector<ScanSource*>& sources) {
  for (uint32_t key = 1; key <= 0xFFFF; ++key) {
    const bool letter = (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z');
    if (!letter && FindSourceByKey(sources, uint16_t(key)) == nullptr) return uint16_t(key);
  }
  return 0;
}

ScanSource* FindSourceByKey(const std::vector<ScanSource*>& sources, uint16_t key) {
  for (ScanSource* s : sources)
    if (s != nullptr && s->Key() == key) return s;
  return nullptr;
}

std::string PartitionStageText(const VolumeInfo& partition, const std::string& letterFormat,
                               const std::string& numberFormat) {
  const char16_t letter = partition.driveLetter;
  if (HasDriveLetter(partition)) return FormatMessage(letterFormat, {char32_t(letter)});
  return FormatMessage(numberFormat, {int64_t(letter)});
}

}  // namespace brinvale
