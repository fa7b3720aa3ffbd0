// The full scan over arbitrary bytes taken as an image: the quick step, the
// pass that hands sectors to the formatted FAT and NTFS engines and the
// content engine, the finishing passes, the merged listing and search must
// neither crash nor hang, whatever the sectors hold. The pass runs once on
// one thread and once on three, which must find the same records.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/scan_history.h"
#include "engines/professional_recovery.h"
#include "fuzz/found_tree_browse.h"
#include "results/type_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  static const fs::path root =
      fs::temp_directory_path() / ("brinvale-fuzz-fullscan-" + std::to_string(BRINVALE_FUZZ_PID));
  const fs::path image = root / "medium.img";
  fs::create_directories(root);
  std::ofstream(image, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  uint64_t found[2] = {0, 0};
  const size_t workers[2] = {1, 3};
  for (int run = 0; run < 2; ++run) {
    {
      // A history loaded afresh from a base folder emptied after every
      // scan: no scan is ever resumed.
      brinvale::ScanHistory history(root / "ScanLog");
      brinvale::CProfessionalRecovery scan(history);
      scan.SetPreviewFolder(root / "preview");
      scan.SetPassWorkers(workers[run]);
      if (scan.OpenImage(image, u'F') == 0) {
        (void)scan.Scan(nullptr);
        found[run] = scan.GetRecordCount();
        if (run == 1) {
          int budget = 200;
          brinvale::fuzz::BrowseFoundTree(scan, nullptr, 0, budget, false);
          brinvale::RecordList listed;
          (void)scan.Search(brinvale::BuildTypeFilter({}) + "|.other", listed);
        }
      }
    }
    std::error_code ec;
    fs::remove_all(root / "ScanLog", ec);
  }
  if (found[0] != found[1]) __builtin_trap();
  return 0;
}
