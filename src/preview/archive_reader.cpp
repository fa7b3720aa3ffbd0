#include "preview/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

#include "common/error_codes.h"

namespace brinvale::preview {
namespace {

struct ArchiveCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

// Entries whose headers libarchive keeps reading after the archive has
// stopped making sense are not worth more than this many header errors.
constexpr int kMaxHeaderRetries = 8;

ArchivePtr NewReader(bool raw) {
  ArchivePtr a(archive_read_new());
  if (!a) return a;
  archive_read_support_filter_all(a.get());
  if (raw)
    archive_read_support_format_raw(a.get());
  else
    archive_read_support_format_all(a.get());
  return a;
}

int OpenPath(archive* a, const std::filesystem::path& path) {
#ifdef _WIN32
  return archive_read_open_filename_w(a, path.c_str(), 64 * 1024);
#else
  return archive_read_open_filename(a, path.c_str(), 64 * 1024);
#endif
}

std::string EntryName(archive_entry* entry) {
  if (const char* utf8 = archive_entry_pathname_utf8(entry)) return utf8;
  if (const char* raw = archive_entry_pathname(entry)) return raw;
  return {};
}

// Walks the entries of an opened archive. `visit` returns false to stop.
template <typename Visit>
int Walk(archive* a, int openResult, Visit&& visit) {
  if (openResult != ARCHIVE_OK && openResult != ARCHIVE_WARN) return kErrInvalidParameter;
  archive_entry* entry = nullptr;
  int retries = 0;
  bool any = false;
  for (;;) {
    const int rc = archive_read_next_header(a, &entry);
    if (rc == ARCHIVE_EOF) break;
    if (rc == ARCHIVE_RETRY && ++retries <= kMaxHeaderRetries) continue;
    if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) {
      // Not even a first header: the bytes are no archive libarchive reads.
      return any ? kOk : kErrInvalidParameter;
    }
    any = true;
    if (!visit(a, entry)) break;
  }
  return kOk;
}

// Reads the current entry's data, at most `limit` bytes.
std::string ReadData(archive* a, size_t limit) {
  std::string data;
  char chunk[16384];
  while (data.size() < limit) {
    const la_ssize_t n = archive_read_data(a, chunk, std::min(sizeof(chunk), limit - data.size()));
    if (n <= 0) break;
    data.append(chunk, size_t(n));
  }
  return data;
}

int List(archive* a, int openResult, std::vector<ArchiveEntry>& out, const ArchiveLimits& limits) {
  out.clear();
  return Walk(a, openResult, [&](archive* ar, archive_entry* entry) {
    if (out.size() >= limits.maxEntries) return false;
    ArchiveEntry e;
    e.name = EntryName(entry);
    e.isFolder = archive_entry_filetype(entry) == AE_IFDIR;
    if (archive_entry_size_is_set(entry)) e.size = archive_entry_size(entry);
    if (archive_entry_mtime_is_set(entry)) e.modified = archive_entry_mtime(entry);
    if (archive_format(ar) == ARCHIVE_FORMAT_RAW) {
      // A compressed single file says nothing of its size: count it, up to
      // the member cap.
      e.size = int64_t(ReadData(ar, limits.maxMemberBytes).size());
    }
    out.push_back(std::move(e));
    return true;
  });
}

int Members(archive* a, int openResult, const MemberFilter& wanted, const MemberSink& take,
            const ArchiveLimits& limits) {
  size_t seen = 0;
  return Walk(a, openResult, [&](archive* ar, archive_entry* entry) {
    if (++seen > limits.maxEntries) return false;
    const std::string name = EntryName(entry);
    if (!wanted(name)) return true;
    return take(name, ReadData(ar, limits.maxMemberBytes));
  });
}

// Opens the bytes as an archive and runs `work` over it; bytes that are no
// archive are tried once more as a lone compressed file (a .gz of one
// file), which counts only when a decompression filter took the bytes.
template <typename Open, typename Work>
int WithArchive(Open&& open, Work&& work) {
  for (const bool raw : {false, true}) {
    ArchivePtr a = NewReader(raw);
    if (!a) return kErrOutOfMemory;
    const int opened = open(a.get());
    if (raw && (opened != ARCHIVE_OK && opened != ARCHIVE_WARN)) return kErrInvalidParameter;
    if (raw && archive_filter_code(a.get(), 0) == ARCHIVE_FILTER_NONE) return kErrInvalidParameter;
    const int rc = work(a.get(), opened);
    if (rc == kOk || raw) return rc;
  }
  return kErrInvalidParameter;
}

}  // namespace

int ListArchive(const std::filesystem::path& path, std::vector<ArchiveEntry>& out,
                const ArchiveLimits& limits) {
  return WithArchive([&](archive* a) { return OpenPath(a, path); },
                     [&](archive* a, int opened) { return List(a, opened, out, limits); });
}

int ListArchiveBytes(std::span<const uint8_t> bytes, std::vector<ArchiveEntry>& out,
                     const ArchiveLimits& limits) {
  return WithArchive(
      [&](archive* a) { return archive_read_open_memory(a, bytes.data(), bytes.size()); },
      [&](archive* a, int opened) { return List(a, opened, out, limits); });
}

int ReadArchiveMembers(const std::filesystem::path& path, const MemberFilter& wanted,
                       const MemberSink& take, const ArchiveLimits& limits) {
  return WithArchive([&](archive* a) { return OpenPath(a, path); },
                     [&](archive* a, int opened) { return Members(a, opened, wanted, take, limits); });
}

int ReadArchiveMembersBytes(std::span<const uint8_t> bytes, const MemberFilter& wanted,
                            const MemberSink& take, const ArchiveLimits& limits) {
  return WithArchive(
      [&](archive* a) { return archive_read_open_memory(a, bytes.data(), bytes.size()); },
      [&](archive* a, int opened) { return Members(a, opened, wanted, take, limits); });
}

}  // namespace brinvale::preview
