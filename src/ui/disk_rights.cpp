#include "ui/disk_rights.h"

#include "app/message_box_kinds.h"
#include "common/error_codes.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/text.h"
#include "ui/message_box.h"

namespace brinvale::ui {

int TryOpenDisk(int diskNumber) {
  platform::UniqueHandle disk;
  return platform::OpenDisk(diskNumber, disk);
}

std::string DiskRightsMessage(const std::filesystem::path& device) {
  const std::string name = device.empty() ? std::string("this disk") : platform::PathToUtf8(device);
#if defined(_WIN32)
  return "You may not read " + name +
         ". Close Brinvale and start it again with \"Run as administrator\". "
         "Disk images can be scanned without these rights.";
#else
  return "You may not read " + name +
         ". Close Brinvale and start it with the rights to read disks: run "
         "\"brinvale-pkexec\" from a terminal or the program menu, and give your password "
         "when asked. Disk images can be scanned without these rights.";
#endif
}

int CheckDiskRights(const ScanSource& source, const UiContext& context, QWidget* owner,
                    const DiskOpener& open) {
  if (!source.IsPartition()) return kOk;
  const int disk = source.partition->diskNumber;
  const int rc = open ? open(disk) : TryOpenDisk(disk);
  if (rc == kErrAccessDenied)
    ShowMessage(context, int(MessageBoxKind::kError), owner,
                DiskRightsMessage(platform::DiskPath(disk)));
  return rc;
}

}  // namespace brinvale::ui
