#include "cli/source_check.h"

#include <filesystem>
#include <system_error>

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "platform/disk.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale::cli {

int CheckSource(const SourceSpec& source, std::string& error) {
  if (source.kind == SourceSpec::Kind::kImage) {
    std::error_code ec;
    if (std::filesystem::is_directory(platform::PathFromUtf8(source.imagePath), ec)) {
      error = source.imagePath +
              " is a folder; give an image file, disk:N or disk:N:START:COUNT as the source";
      return kErrDirectory;
    }
    return kOk;
  }
  const std::string disk = "disk " + std::to_string(source.diskNumber);
  platform::UniqueHandle handle;
  if (int rc = platform::OpenDisk(source.diskNumber, handle); rc != kOk) {
    error = "cannot open " + disk + ": " + platform::SystemErrorMessage(rc);
    return rc;
  }
  if (source.kind != SourceSpec::Kind::kPartition) return kOk;
  uint64_t bytes = 0;
  if (int rc = platform::QueryDiskLength(handle, bytes); rc != kOk) {
    error = "cannot learn the length of " + disk + ": " + platform::SystemErrorMessage(rc);
    return rc;
  }
  const uint64_t bps = QueryBytesPerSector(handle);
  const uint64_t sectors = bps != 0 ? bytes / bps : 0;
  if (source.startSector >= sectors || source.sectorCount > sectors - source.startSector) {
    error = "disk:" + std::to_string(source.diskNumber) + ":" +
            std::to_string(source.startSector) + ":" + std::to_string(source.sectorCount) +
            " runs past the end of " + disk + ", which has " + std::to_string(sectors) +
            " sectors of " + std::to_string(bps) + " bytes";
    return kErrInvalidParameter;
  }
  return kOk;
}

}  // namespace brinvale::cli
