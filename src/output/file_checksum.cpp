#include "output/file_checksum.h"

#include <span>
#include <vector>

#include "common/error_codes.h"
#include "common/sha256.h"
#include "platform/file.h"

namespace brinvale {

int ChecksumFile(const std::filesystem::path& path, uint64_t& size, std::string& sha256) {
  size = 0;
  sha256.clear();
  platform::UniqueHandle handle;
  if (int rc = platform::OpenFile(path, platform::OpenMode::kReadExisting, handle); rc != kOk)
    return rc;
  Sha256 hash;
  // One buffer per thread, reused: recoveries check thousands of small files.
  thread_local std::vector<uint8_t> buffer(size_t(1) << 20);
  uint64_t offset = 0;
  for (;;) {
    size_t got = 0;
    if (int rc = platform::ReadAt(handle, offset, buffer.data(), buffer.size(), got); rc != kOk)
      return rc;
    if (got == 0) break;
    hash.Update(std::span<const uint8_t>(buffer.data(), got));
    offset += got;
  }
  size = offset;
  sha256 = hash.HexDigest();
  return kOk;
}

}  // namespace brinvale
