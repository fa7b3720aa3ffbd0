#include "results/unfinished_file.h"

#include <algorithm>
#include <system_error>

#include "platform/text.h"
#include "results/name_fit.h"

namespace brinvale {

std::filesystem::path SettleUnfinishedFile(const std::filesystem::path& target,
                                           TargetSystem system) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::symlink_status(target, ec);
  if (ec || !std::filesystem::is_regular_file(status)) return target;
  const uintmax_t size = std::filesystem::file_size(target, ec);
  if (!ec && size == 0) {
    std::filesystem::remove(target, ec);
    return target;
  }
  const size_t room = FileNameRoom(platform::PathToUtf8(target.parent_path()), system);
  const std::string name = PartialFileName(platform::PathToUtf8(target.filename()), room, system);
  if (name.empty()) return target;
  const std::filesystem::path partial =
      MakeUniquePath(target.parent_path() / platform::PathFromUtf8(name), room, system);
  std::filesystem::rename(target, partial, ec);
  return ec ? target : partial;
}

}  // namespace brinvale
