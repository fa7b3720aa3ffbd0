#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

// Reading archives through libarchive (zip, 7z, tar, cpio, iso, cab, rar,
// lha, and gzip/bzip2/xz/lzma compressed streams of them or of a single
// file). Nothing here trusts the archive: entry counts, names and the bytes
// decompressed are all capped, so a hostile or truncated file ends the
// walk with what was read so far.
namespace brinvale::preview {

struct ArchiveEntry {
  std::string name;       // as the archive spells it, UTF-8 where it can tell
  int64_t size = -1;      // -1 when the archive does not say
  int64_t modified = -1;  // seconds since 1970, -1 when not set
  bool isFolder = false;
};

struct ArchiveLimits {
  size_t maxEntries = 1000;
  // What a single member may decompress to (decompression bombs stop here).
  size_t maxMemberBytes = 16u << 20;
};

// Lists the archive's entries, at most `limits.maxEntries`. Returns 0 when
// at least the header could be read (a damaged archive gives the entries
// before the damage), 87 when libarchive knows no format for the bytes.
int ListArchive(const std::filesystem::path& path, std::vector<ArchiveEntry>& out,
                const ArchiveLimits& limits = {});
int ListArchiveBytes(std::span<const uint8_t> bytes, std::vector<ArchiveEntry>& out,
                     const ArchiveLimits& limits = {});

// Reads the members whose names `wanted` accepts, in archive order, each cut
// at `limits.maxMemberBytes`; `take` gets each one's name and bytes and
// returns false to stop. Returns 0, or 87 when the archive cannot be opened.
using MemberFilter = std::function<bool(const std::string& name)>;
using MemberSink = std::function<bool(const std::string& name, const std::string& bytes)>;
int ReadArchiveMembers(const std::filesystem::path& path, const MemberFilter& wanted,
                       const MemberSink& take, const ArchiveLimits& limits = {});
int ReadArchiveMembersBytes(std::span<const uint8_t> bytes, const MemberFilter& wanted,
                            const MemberSink& take, const ArchiveLimits& limits = {});

}  // namespace brinvale::preview
