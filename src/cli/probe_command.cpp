#include "cli/probe_command.h"

#include <array>
#include <cstdio>

#include "cli/source_check.h"
#include "common/error_codes.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/engine_factory.h"
#include "platform/disk.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale::cli {

int ProbeSource(const SourceSpec& source, VolumeKind& kind, std::string& error) {
  if (int rc = CheckSource(source, error); rc != kOk) return rc;
  platform::UniqueHandle handle;
  uint64_t offset = 0;
  std::string what;
  if (source.kind == SourceSpec::Kind::kImage) {
    what = source.imagePath;
    if (int rc = platform::OpenFile(platform::PathFromUtf8(source.imagePath),
                                    platform::OpenMode::kReadExisting, handle);
        rc != kOk) {
      error = "cannot open " + what + ": " + platform::SystemErrorMessage(rc);
      return rc;
    }
  } else {
    what = "disk " + std::to_string(source.diskNumber);
    if (int rc = platform::OpenDisk(source.diskNumber, handle); rc != kOk) {
      error = "cannot open " + what + ": " + platform::SystemErrorMessage(rc);
      return rc;
    }
    offset = source.startSector * QueryBytesPerSector(handle);
  }
  FileByteSource bytes(std::move(handle));
  std::array<uint8_t, kRecognitionBytes> head{};
  if (int rc = ReadRecognitionBytes(bytes, offset, head); rc != kOk) {
    error = "cannot read the first 16 KiB of " + what +
            (rc == kErrReadFault ? ": it is shorter than 16 KiB or unreadable"
                                 : ": " + platform::SystemErrorMessage(rc));
    return rc;
  }
  kind = ClassifyVolumeStart(head);
  return kOk;
}

int RunProbe(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: brinvale-cli probe SOURCE\n");
    return 2;
  }
  std::string error;
  std::optional<SourceSpec> source = ParseSourceSpec(argv[0], error);
  if (!source) {
    std::fprintf(stderr, "brinvale-cli: %s\n", error.c_str());
    return 2;
  }
  VolumeKind kind = VolumeKind::kUnknown;
  if (ProbeSource(*source, kind, error) != kOk) {
    std::fprintf(stderr, "brinvale-cli: %s\n", error.c_str());
    return 2;
  }
  std::printf("%s\n", VolumeKindName(kind));
  return 0;
}

}  // namespace brinvale::cli
