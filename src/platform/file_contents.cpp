#include "platform/file_contents.h"

#include <new>
#include <system_error>

#include "common/error_codes.h"
#include "platform/file.h"
#include "platform/system_error.h"

namespace brinvale::platform {

int ReadFileBytes(const std::filesystem::path& path, size_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  UniqueHandle file;
  if (int rc = OpenFile(path, OpenMode::kReadExisting, file); rc != kOk) return rc;
  uint64_t size = 0;
  if (int rc = FileSizeOf(file, size); rc != kOk) return rc;
  if (size > maxBytes) return kErrOutOfMemory;
  try {
    bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    size_t got = 0;
    if (int rc = ReadAt(file, done, bytes.data() + done, bytes.size() - done, got); rc != kOk) {
      bytes.clear();
      return rc;
    }
    if (got == 0) break;  // the file shrank while it was read
    done += got;
  }
  bytes.resize(done);
  return kOk;
}

int ReplaceFileContents(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  std::error_code ec;
  {
    UniqueHandle file;
    if (int rc = OpenFile(temp, OpenMode::kWriteTruncate, file); rc != kOk) return rc;
    int rc = WriteAll(file, 0, bytes.data(), bytes.size());
    if (rc == kOk) rc = Flush(file);
    if (rc == kOk) rc = file.Close();
    if (rc != kOk) {
      file.Reset();
      std::filesystem::remove(temp, ec);
      return rc;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    const int rc = SystemErrorFromErrorCode(ec);
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return rc;
  }
  return kOk;
}

}  // namespace brinvale::platform
