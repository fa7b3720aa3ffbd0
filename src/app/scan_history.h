#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "results/scan_history_file.h"
#include "results/scan_history_interface.h"
#include "results/scan_log_folders.h"

namespace brinvale {

// The per-user index of scan-log folders: which numbered folder under the
// base folder holds the full scan of which partition or image, with the
// medium's state when it was scanned, so that an unchanged medium can reuse
// its scan. Kept in "<base>/config" and replaced through "config.tmp".
// Used by one thread at a time; not copyable.
class ScanHistory final : public IScanHistory {
 public:
  // The process-wide history under <application data>/OrlentaBrinvaleRecovery/
  // ScanLog, loaded on first use.
  static ScanHistory& Instance();
  static std::filesystem::path DefaultBaseFolder();

  // Loads the history kept in `baseFolder`.
  explicit ScanHistory(std::filesystem::path baseFolder);
  ScanHistory(const ScanHistory&) = delete;
  ScanHistory& operator=(const ScanHistory&) = delete;

  // How loading went: 0; 87 for a missing or empty file; 30 when it could
  // not be read whole. Every case leaves a usable history.
  int LoadResult() const { return m_loadResult; }

  // Looks up the partition (disk, start, count). True with the entry when
  // it is there and holds `stamp`; the current folder is then the entry's.
  // A changed medium's folder is forgotten.
  bool FindPartitionEntry(uint32_t diskNumber, uint64_t startSector, uint64_t sectorCount,
                          uint64_t stamp, ScanHistoryEntry& out) override;
  // The same for an image file, by its absolute, canonical path (compared
  // by the platform's rule for names) and its last-write time.
  bool FindImageEntry(const std::filesystem::path& imagePath, uint64_t writeTime,
                      ScanHistoryEntry& out) override;
  // One partition of an image of a whole disk: the image's path and the
  // partition's start and length.
  bool FindImagePartitionEntry(const std::filesystem::path& imagePath, uint64_t startSector,
                               uint64_t sectorCount, uint64_t writeTime,
                               ScanHistoryEntry& out) override;

  // Records a full scan by the medium's identity with the stamp it was
  // opened with, writes the check of the folder's logs (scan_log_check.h)
  // and saves the history. An entry of the same medium that names another
  // folder is replaced, and its folder forgotten. An empty `imagePath`
  // means a partition. Returns 0, 206 when a path does not fit its
  // 259-unit field, or the error of writing the check or the history.
  int RecordScan(uint32_t diskNumber, uint64_t startSector, uint64_t sectorCount, uint64_t stamp,
                 const ResumePoint& resume, const std::filesystem::path& folder,
                 const std::filesystem::path& imagePath) override;

  // Drops the folder's entry (saved with the next SaveHistory) and deletes
  // the folder with its content. Only folders inside the base folder are
  // ever deleted: anything else, or a symbolic link, answers 5 and stays.
  int ForgetFolder(const std::filesystem::path& folder) override;

  // Moves to the next numbered folder and empties it.
  void BeginNewFolder() override;
  // Takes the folder counter back by one, after a new scan that stopped
  // before it had anything to keep.
  void TakeBackFolder() override;

  // The folder of the last lookup's earlier scan, or else the numbered
  // folder of the counter ("<base>/<counter>/").
  std::filesystem::path CurrentFolder() const override;

  // FindScanLogFile in `folder`.
  int FindLogFile(std::string_view prefix, std::string& name,
                  const std::filesystem::path& folder) const {
    return FindScanLogFile(folder, prefix, name);
  }

  // Writes "config.tmp" whole, then puts it in place of "config". On
  // failure "config" stays as it was.
  int SaveHistory();

  const std::filesystem::path& BaseFolder() const { return m_base; }
  uint64_t FolderCounter() const { return m_contents.counter; }
  const std::vector<ScanHistoryEntry>& Entries() const { return m_contents.entries; }
  bool HasEarlierScan() const { return m_earlierScan; }

 private:
  void Load();
  bool FindEntry(size_t index, uint64_t stamp, uint64_t ScanHistoryEntry::*field,
                 ScanHistoryEntry& out);
  // The entry of the partition or image, by identity only; entries.size()
  // when there is none.
  size_t PartitionIndex(uint32_t diskNumber, uint64_t startSector, uint64_t sectorCount) const;
  // An image is the whole image at start 0, or one partition of it by its
  // start and length.
  size_t ImageIndex(const std::filesystem::path& imagePath, uint64_t startSector,
                    uint64_t sectorCount) const;
  std::filesystem::path NumberedFolder() const;
  std::filesystem::path HistoryPath() const { return m_base / "config"; }
  std::filesystem::path TempPath() const { return m_base / "config.tmp"; }

  std::filesystem::path m_base;
  HistoryContents m_contents;
  bool m_earlierScan = false;
  std::filesystem::path m_current;
  int m_loadResult = 0;
};

}  // namespace brinvale
