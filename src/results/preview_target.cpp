#include "results/preview_target.h"

#include <system_error>

#include "common/error_codes.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "results/file_categories.h"
#include "results/target_paths.h"

namespace brinvale {
namespace {

// Longer preview paths are not used: the data goes to the buffer instead.
constexpr size_t kMaxPreviewPath = 260;

}  // namespace

std::filesystem::path PreviewTarget(std::string_view name, const std::filesystem::path& folder) {
  const std::string extension = ExtensionOf(name);
  std::filesystem::path target;
  if (InList(extension, kPreviewDocumentList))
    target = folder / platform::PathFromUtf8(SanitizeFileName(name));
  else if (InList(extension, kAudioList) || InList(extension, kVideoList))
    target = folder / "tmp.avi";
  else if (InList(extension, kPhotoList))
    target = folder / "tmp.jpg";
  if (target.native().size() >= kMaxPreviewPath) target.clear();
  return target;
}

int OpenPreviewFile(const std::filesystem::path& target, platform::UniqueHandle& out) {
  if (int rc = platform::CreateFolders(target.parent_path()); rc != kOk) return rc;
  std::error_code ec;
  std::filesystem::remove(target, ec);
  return platform::OpenFile(target, platform::OpenMode::kWriteTruncate, out);
}

}  // namespace brinvale
