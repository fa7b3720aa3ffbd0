#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "results/folder_entry_file.h"
#include "results/record_chunk_cache.h"
#include "results/relation_file.h"
#include "results/scan_record.h"

namespace brinvale {

// The scan log of one engine: three files that share one base name in the
// current scan-log folder.
//   <base>           346-byte records back to back; record n at (n - 1) x 346
//   <base>_Relation  which records lie in which folder (relation_file.h)
//   <base>_DirInfo   268-byte folder-name entries (folder_entry_file.h)
// Records are appended through a 200-record write buffer; the relation map
// and folder entries live in memory and are rewritten whole by FlushLog.
// Owned by its engine and used by one thread at a time; not copyable.
//
// A folder key is 64-bit: low half the parent folder's entry key, high half
// the parent folder's level below the root (root 0). Level kForeignLevel
// files records under a folder that another engine's log holds: a chain of
// ancestors ends there.
class ScanLogStore {
 public:
  static constexpr uint32_t kForeignLevel = 0xFFFFFFFE;
  static constexpr size_t kBufferRecords = 200;
  static constexpr size_t kBufferBytes = kBufferRecords * ScanRecord::kSize;  // 69,200
  // A record file this large or larger is searched without ".other".
  static constexpr uint64_t kOtherSearchLimit = 0x8000000;  // 128 MiB

  using SearchProgress = int (*)(void* user, int percent, int reserved);

  ScanLogStore();
  ~ScanLogStore();
  ScanLogStore(const ScanLogStore&) = delete;
  ScanLogStore& operator=(const ScanLogStore&) = delete;

  // Opens (creating as needed) the log `baseName` in `folder`, which is
  // created with its missing parents. Records, relations and folder entries
  // already there are loaded; new records go after the old ones.
  int OpenLog(const std::filesystem::path& folder, std::string_view baseName);

  // The next free 346-byte slot; the record count is already incremented.
  // The caller fills every byte and sets offset 18 to RecordCount(). Writes
  // the buffer first when it holds 200 records; a failed write is reported
  // by the next FlushLog.
  std::span<uint8_t, ScanRecord::kSize> AppendRecord();
  // Appends a copy of `record` numbered RecordCount(); returns its number.
  uint32_t AppendRecord(const ScanRecord& record);

  // Files record `number` under folder `key`.
  void AddRelation(uint64_t key, uint32_t number);
  // The same for a folder record, which also gets a folder-name entry.
  void AddRelation(uint64_t key, uint32_t number, uint32_t folderCluster,
                   std::string_view folderName);

  // Writes pending records, then rewrites the relation and folder-name files.
  int FlushLog();

  // The records filed under `key` (0: the smallest key), photos that failed
  // their content check left out, files before folders, by name without
  // case. A read error ends the list with that error.
  int ListFolder(uint64_t key, std::vector<ScanRecord>& out);

  // The number of file records at every depth below `key` (0: the smallest
  // key), hidden photos included. Each folder key is walked once.
  int CountFilesBelow(uint64_t key, uint32_t& count);

  // The first folder record whose entry key is `cluster`; 87 when none.
  int FindFolderRecord(uint32_t cluster, ScanRecord& out);

  // The folders that hold `record`, innermost first. Ends at the top level,
  // at a gap (with 87), or at a folder that repeats on the chain.
  int GetAncestors(const ScanRecord& record, std::vector<ScanRecord>& out);

  // The key `record`'s outermost ancestor (or `record` itself, when it has
  // none) is filed under; false when it is filed nowhere.
  bool OutermostKey(const ScanRecord& record, uint64_t& key);

  // Calls `visit`(record) for every record in file order.
  int VisitRecords(const std::function<void(const ScanRecord&)>& visit);

  // The folder path of `record`: the ancestors' names from the outermost
  // inwards, each followed by "\". At most `maxBytes` bytes (cut at a
  // character boundary, with 122 ERROR_INSUFFICIENT_BUFFER).
  int GetRecordPath(const ScanRecord& record, std::string& path, size_t maxBytes);

  // Every file record whose extension passes `filter` ("*.ext|*.ext...",
  // optionally with ".other"), in file order. Flushes first. The progress
  // callback is asked after each 200 records; a non-zero answer ends the
  // search with the records found so far and that answer.
  int Search(std::string_view filter, std::vector<ScanRecord>& out);
  void SetSearchCallback(SearchProgress callback, void* user);

  // Flushes and closes the three files, forgetting everything in memory.
  void CloseLog();

  bool IsOpen() const { return m_recordFile.IsOpen(); }
  uint32_t RecordCount() const { return m_count; }
  const RelationMap& Relations() const { return m_relations; }
  const std::vector<FolderEntry>& FolderEntries() const { return m_folders; }
  const std::filesystem::path& RecordPath() const { return m_recordPath; }

 private:
  uint32_t RecordsOnFile() const { return m_count - uint32_t(m_used / ScanRecord::kSize); }
  int WriteBuffer();
  int ReadRecord(uint32_t number, ScanRecord& out);
  // Calls `visit`(record) for every record in file order, 200 at a time;
  // `afterChunk`(bytes done, file bytes) may stop the walk with a non-zero
  // result, which is returned.
  template <typename Visit, typename AfterChunk>
  int ForEachRecord(Visit visit, AfterChunk afterChunk);
  uint64_t ResolveKey(uint64_t key) const;
  // The key of the first list (ascending) that holds `number`, or false.
  bool ParentKeyOf(uint32_t number, uint64_t& key);
  const FolderEntry* FirstFolderEntry(uint32_t cluster) const;
  int RewriteRelations();
  int RewriteFolders();

  platform::UniqueHandle m_recordFile, m_relationFile, m_folderFile;
  std::filesystem::path m_recordPath, m_relationPath, m_folderPath;
  std::vector<uint8_t> m_buffer;
  size_t m_used = 0;
  uint32_t m_count = 0;
  int m_writeError = 0;
  bool m_indexDirty = false;
  RelationMap m_relations;
  std::vector<FolderEntry> m_folders;
  std::unordered_map<uint32_t, size_t> m_firstFolder;  // cluster -> index in m_folders
  // Number -> 1 + ordinal of the first key holding it (0: none); built on
  // demand and dropped by AddRelation.
  std::vector<uint32_t> m_parentOrdinal;
  std::vector<uint64_t> m_keysByOrdinal;
  bool m_parentIndexValid = false;
  RecordChunkCache m_cache;
  SearchProgress m_searchCallback = nullptr;
  void* m_searchUser = nullptr;
};

}  // namespace brinvale
