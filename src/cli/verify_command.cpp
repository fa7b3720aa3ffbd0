#include "cli/verify_command.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/terminal_text.h"
#include "common/error_codes.h"
#include "output/file_checksum.h"
#include "output/manifest_reader.h"
#include "platform/file_contents.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale::cli {
namespace {

constexpr int kExitDiffers = 1;
constexpr int kExitUsage = 2;
// A manifest lists one line per file; even millions of files stay far
// below this.
constexpr size_t kMaxManifestBytes = size_t(2) << 30;

// The newest "recovery.csv" or "recovery(N).csv" in `folder`: the last
// written, and of two written in the same second the higher number.
std::optional<std::filesystem::path> NewestManifest(const std::filesystem::path& folder) {
  std::optional<std::filesystem::path> best;
  std::filesystem::file_time_type bestTime{};
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = platform::PathToUtf8(it->path().filename());
    const bool numbered = name.rfind("recovery(", 0) == 0 && name.size() > 14 &&
                          name.compare(name.size() - 5, 5, ").csv") == 0;
    if (name != "recovery.csv" && !numbered) continue;
    std::error_code timeError;
    const auto time = std::filesystem::last_write_time(it->path(), timeError);
    if (timeError) continue;
    if (!best || time > bestTime ||
        (time == bestTime && platform::PathToUtf8(best->filename()).size() < name.size()) ||
        (time == bestTime && platform::PathToUtf8(best->filename()).size() == name.size() &&
         platform::PathToUtf8(best->filename()) < name)) {
      best = it->path();
      bestTime = time;
    }
  }
  return best;
}

// A listed path that would lead out of the folder (absolute, or through
// "..") is not followed: the manifest is a file anyone may have edited.
bool StaysInside(const std::filesystem::path& relative) {
  if (relative.empty() || relative.is_absolute() || relative.has_root_name()) return false;
  for (const std::filesystem::path& part : relative)
    if (part == "..") return false;
  return true;
}

}  // namespace

int RunVerify(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) {
    std::fprintf(stderr, "usage: brinvale-cli verify DIR [MANIFEST]\n");
    return kExitUsage;
  }
  const std::filesystem::path folder = platform::PathFromUtf8(args[0]);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    std::fprintf(stderr, "brinvale-cli: %s is not a folder\n", TerminalSafe(args[0]).c_str());
    return kExitUsage;
  }
  std::filesystem::path manifest;
  if (args.size() == 2) {
    manifest = platform::PathFromUtf8(args[1]);
    // A bare name is looked for in the folder.
    if (!std::filesystem::exists(manifest, ec) && !manifest.has_parent_path())
      manifest = folder / manifest;
  } else if (std::optional<std::filesystem::path> newest = NewestManifest(folder)) {
    manifest = *newest;
  } else {
    std::fprintf(stderr, "brinvale-cli: %s holds no recovery manifest (recovery.csv)\n",
                 TerminalSafe(args[0]).c_str());
    return kExitUsage;
  }
  const std::string manifestText = TerminalSafe(platform::PathToUtf8(manifest));
  std::vector<uint8_t> bytes;
  if (int rc = platform::ReadFileBytes(manifest, kMaxManifestBytes, bytes); rc != kOk) {
    std::fprintf(stderr, "brinvale-cli: cannot read %s: %s\n", manifestText.c_str(),
                 platform::SystemErrorMessage(rc).c_str());
    return kExitUsage;
  }
  std::string error;
  const auto entries = ParseManifestCsv(bytes, error);
  if (!entries) {
    std::fprintf(stderr, "brinvale-cli: %s is no recovery manifest: %s\n", manifestText.c_str(),
                 error.c_str());
    return kExitUsage;
  }
  size_t matching = 0, differing = 0, unwritten = 0;
  for (const ManifestEntry& entry : *entries) {
    const std::string shown = TerminalSafe(entry.path);
    if (entry.sha256.empty()) {
      ++unwritten;  // its recovery failed: nothing to compare
      continue;
    }
    const std::filesystem::path relative = platform::PathFromUtf8(entry.path);
    if (!StaysInside(relative)) {
      std::printf("outside the folder: %s\n", shown.c_str());
      ++differing;
      continue;
    }
    uint64_t size = 0;
    std::string sha256;
    if (int rc = ChecksumFile(folder / relative, size, sha256); rc != kOk) {
      std::printf("%s: %s\n", rc == kErrFileNotFound || rc == kErrPathNotFound ? "missing" : "unreadable",
                  shown.c_str());
      ++differing;
      continue;
    }
    if (entry.size && size != *entry.size) {
      std::printf("size differs: %s (%llu bytes listed, %llu now)\n", shown.c_str(),
                  static_cast<unsigned long long>(*entry.size),
                  static_cast<unsigned long long>(size));
      ++differing;
    } else if (sha256 != entry.sha256) {
      std::printf("content differs: %s\n", shown.c_str());
      ++differing;
    } else {
      ++matching;
    }
  }
  std::printf("%zu files match %s", matching, manifestText.c_str());
  if (differing != 0) std::printf("; %zu differ or are missing", differing);
  if (unwritten != 0) std::printf("; %zu were not recovered", unwritten);
  std::printf("\n");
  return differing == 0 ? 0 : kExitDiffers;
}

}  // namespace brinvale::cli
