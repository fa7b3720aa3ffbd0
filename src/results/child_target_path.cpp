#include "results/child_target_path.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text.h"
#include "results/name_fit.h"

namespace brinvale {
namespace {

// A cut name keeps at least this many units (or the whole name when it is
// shorter); with less room the path counts as too long.
constexpr size_t kLeastNameRoom = 8;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::filesystem::path ChildTargetPath(const std::filesystem::path& folder,
                                      std::string_view foundName, int rootSeparators,
                                      TargetKind kind, TargetSystem system) {
  const TargetLimits limits = LimitsOf(system);
  const size_t limit = kind == TargetKind::kFile ? limits.file : limits.folder;
  const std::string safe = SanitizeFileName(foundName, system);
  const size_t wanted = std::min(TargetLength(safe, system), limits.name);
  const std::string text = platform::PathToUtf8(folder);

  // The recovery folder ends before separator number rootSeparators + 1;
  // what follows are the folders recovery made.
  std::string root = text;
  std::vector<std::string> below;
  int seen = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    if (!IsSeparator(text[at]) || ++seen <= std::max(rootSeparators, 0)) continue;
    root = text.substr(0, at);
    // "/" and "D:\" keep their separator: without it they name another place.
    if (root.empty() || root.back() == ':') root = text.substr(0, at + 1);
    for (size_t start = at + 1; start <= text.size();) {
      size_t end = start;
      while (end < text.size() && !IsSeparator(text[end])) ++end;
      if (end > start) below.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    break;
  }

  // The folder's length when its top `dropped` folders below the root are
  // replaced by the cut mark.
  const size_t rootLength = TargetLength(root, system);
  const size_t markLength = TargetLength(kCutFolderName, system);
  auto lengthDropping = [&](size_t dropped) {
    if (dropped == 0) return TargetLength(text, system);
    size_t length = rootLength + 1 + markLength;
    for (size_t i = dropped; i < below.size(); ++i) length += 1 + TargetLength(below[i], system);
    return length;
  };
  auto roomDropping = [&](size_t dropped) {
    const size_t used = lengthDropping(dropped);
    return used + 1 < limit ? std::min(limits.name, limit - used - 1) : size_t(0);
  };
  // Folders are cut only when the whole name does not fit below them, and
  // then down to half the limit, so that the folders below get room too and
  // a deep tree is cut now and then rather than at every level. Where no
  // cut makes the name fit, the name is cut instead, and folders only when
  // even a short name would not fit below them.
  const size_t least = std::min(wanted, kLeastNameRoom);
  size_t dropped = 0;
  if (roomDropping(0) < wanted) {
    while (dropped < below.size() && lengthDropping(dropped) + 1 + wanted > limit / 2) ++dropped;
  }
  if (roomDropping(dropped) < wanted) {
    dropped = 0;
    while (dropped < below.size() && roomDropping(dropped) < least) ++dropped;
  }
  const size_t room = roomDropping(dropped);
  if (room < least) return {};

  std::filesystem::path parent = folder;
  if (dropped > 0) {
    parent = platform::PathFromUtf8(root) / platform::PathFromUtf8(std::string(kCutFolderName));
    for (size_t i = dropped; i < below.size(); ++i) parent /= platform::PathFromUtf8(below[i]);
  }
  return MakeUniquePath(parent / platform::PathFromUtf8(FitFileName(safe, room, system)), room,
                        system);
}

}  // namespace brinvale
