// The merged search of the full scan: what the file-system engines found,
// then the content engine's finds that are not the same files again.
#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/error_codes.h"
#include "deepscan/file_type_recovery.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/professional_ntfs_recovery.h"
#include "engines/professional_recovery.h"
#include "results/file_categories.h"
#include "results/record_rules.h"

namespace brinvale {
namespace {

// The first data sector of a FAT record, from its own fields.
bool FatFirstSector(const ScanRecord& r, uint32_t bytesPerSector, uint64_t& sector) {
  const uint32_t clusterBytes = r.ClusterBytes();
  if (bytesPerSector == 0 || clusterBytes < bytesPerSector) return false;
  const uint64_t spc = clusterBytes / bytesPerSector;
  const uint64_t base = r.PartitionStart() + r.FirstDataSector();
  const uint32_t cluster = r.EntryKey();
  if (cluster >= 2) {
    sector = base + uint64_t(cluster - 2) * spc;
    return true;
  }
  // Cluster 0 is the FAT12/16 root directory, 32 sectors before cluster 2.
  if (cluster == 0 && base >= 32) {
    sector = base - 32;
    return true;
  }
  return false;
}

}  // namespace

int CProfessionalRecovery::Search(const std::string& text, RecordList& out) {
  out.clear();
  try {
    int firstError = kOk;
    RecordList part;
    std::vector<IRidiRedazuvoParse*> engines = QuickEngines();
    engines.push_back(m_fat.get());
    engines.push_back(m_ntfs.get());
    for (IRidiRedazuvoParse* engine : engines) {
      const int rc = engine->Search(text, part);
      out.insert(out.end(), part.begin(), part.end());
      if (rc == kCancelled) return rc;
      if (rc != kOk && firstError == kOk) firstError = rc;
    }

    // Where each file the file systems know starts, with its extension.
    std::unordered_map<uint64_t, std::string> starts;
    for (const ScanRecord& r : out) {
      uint64_t sector = 0;
      bool known = false;
      switch (r.Engine()) {
        case EngineCode::kQuickFat:
        case EngineCode::kFormattedFat: known = FatFirstSector(r, m_bytesPerSector, sector); break;
        case EngineCode::kFormattedNtfs: known = m_ntfs->FirstDataSector(r, sector); break;
        case EngineCode::kQuickNtfs: {
          auto* quickNtfs = dynamic_cast<CFastNtfsRecovery*>(QuickFor(r));
          known = quickNtfs != nullptr && quickNtfs->FirstDataSector(r, sector);
          break;
        }
        default: break;
      }
      if (known) starts[sector] = ExtensionOf(r.Name());
    }

    // A content find at such a start is the same file once more, unless
    // its type differs; a camera's .thm thumbnail is a JPEG.
    const int rc = m_content->Search(text, part);
    for (const ScanRecord& r : part) {
      const auto it = starts.find(r.MetadataSector());
      if (it != starts.end()) {
        const std::string own = ExtensionOf(r.Name());
        if (it->second == own || (it->second == "thm" && own == "jpg")) continue;
      }
      out.push_back(r);
    }
    if (rc != kOk && firstError == kOk) firstError = rc;
    std::sort(out.begin(), out.end(), ListedBefore);
    return firstError;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
