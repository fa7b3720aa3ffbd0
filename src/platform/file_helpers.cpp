// Portable helpers over the file and folder calls of each backend.
#include <system_error>

#include "common/error_codes.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"

namespace brinvale::platform {

int WriteAll(const UniqueHandle& h, uint64_t offset, const void* buffer, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    size_t put = 0;
    if (int rc = WriteAt(h, offset + done, bytes + done, length - done, put); rc != kOk) return rc;
    if (put == 0) return kErrWriteFault;
    done += put;
  }
  return kOk;
}

int CreateFolders(const std::filesystem::path& folder) {
  bool madeLast = false;
  return CreateFolders(folder, madeLast);
}

int CreateFolders(const std::filesystem::path& folder, bool& madeLast) {
  madeLast = false;
  if (folder.empty()) return kOk;
  std::error_code ec;
  madeLast = std::filesystem::create_directories(folder, ec);
  if (!ec) return kOk;
  madeLast = false;
  const int rc = SystemErrorFromErrorCode(ec);
  // Made meanwhile by someone else is fine too.
  std::error_code again;
  return std::filesystem::is_directory(folder, again) ? kOk : rc;
}

}  // namespace brinvale::platform
