#include "results/target_paths.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/text.h"
#include "results/name_fit.h"
#include "results/write_behind.h"

namespace brinvale {
namespace {

bool IsWindowsDeviceName(std::string_view name) {
  // The part before the first dot decides: "con.txt" is the console too.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper;
  for (char c : stem) upper += char(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  if (std::find(kPlain.begin(), kPlain.end(), upper) != kPlain.end()) return true;
  return upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

bool IsForbidden(unsigned char c, TargetSystem system) {
  if (c == '/' || c == '\0') return true;
  if (system == TargetSystem::kPosix) return false;
  return c < 0x20 || std::string_view("\\:*?\"<>|").find(char(c)) != std::string_view::npos;
}

// Something is at `path` on the target, or a file this thread's recovery
// has not finished writing is to be there.
bool PathTaken(const std::filesystem::path& path) {
  if (WriteBehind* behind = CurrentWriteBehind(); behind != nullptr) {
    if (behind->SurelyFree(path)) return false;
    if (behind->IsClaimed(path)) return true;
    // Only the target can tell whether a look-alike name is the same file.
    if (behind->MayBeTakenByAWrite(path)) behind->WaitForWrites();
  }
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The path handed out, noted as taken for the probes that follow.
std::filesystem::path HandedOut(std::filesystem::path path) {
  if (WriteBehind* behind = CurrentWriteBehind(); behind != nullptr) behind->NoteTaken(path);
  return path;
}

}  // namespace

std::string SanitizeFileName(std::string_view name, TargetSystem system) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) out += IsForbidden(static_cast<unsigned char>(c), system) ? '_' : c;
  if (out.empty() || out == "." || out == "..") return std::string(out.size() + 1, '_');
  if (system == TargetSystem::kWindows) {
    if (out.back() == '.' || out.back() == ' ') out.back() = '_';
    if (IsWindowsDeviceName(out)) out.insert(out.begin(), '_');
  }
  return out;
}

std::filesystem::path MakeUniquePath(const std::filesystem::path& path, size_t room,
                                     TargetSystem system) {
  if (!PathTaken(path)) return HandedOut(path);
  const std::filesystem::path folder = path.parent_path();
  const std::string stem = platform::PathToUtf8(path.stem());
  const std::string extension = platform::PathToUtf8(path.extension());
  // The folder and the separator after it count towards the path limit.
  const size_t folderUnits =
      folder.empty() ? 0 : TargetLength(platform::PathToUtf8(folder), TargetSystem::kWindows) + 1;
  for (unsigned long n = 1;; ++n) {
    const std::string number = "(" + std::to_string(n) + ")";
    const std::string tail = number + extension;
    const size_t fixed = TargetLength(tail, system);
    const size_t fixedUnits = TargetLength(tail, TargetSystem::kWindows);
    // A numbered name needs at least one character of its base.
    if (folderUnits + fixedUnits >= kUniquePathUnits) return {};
    std::string base = fixed < room ? FitFileName(stem, room - fixed, system) : stem;
    const size_t baseUnits = kUniquePathUnits - folderUnits - fixedUnits;
    if (TargetLength(base, TargetSystem::kWindows) > baseUnits)
      base = FitFileName(base, baseUnits, TargetSystem::kWindows);
    if (base.empty()) return {};
    std::filesystem::path candidate = folder / platform::PathFromUtf8(base + tail);
    if (!PathTaken(candidate)) return HandedOut(std::move(candidate));
  }
}

int CountSeparators(std::string_view path) {
  if (path.empty()) return 0;
  path.remove_suffix(1);
  return int(std::count_if(path.begin(), path.end(), [](char c) { return c == '\\' || c == '/'; }));
}

}  // namespace brinvale
