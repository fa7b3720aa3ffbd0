#include "platform/disk_enumeration.h"

namespace brinvale::platform {

const char* DiskBusName(DiskBus bus) {
  switch (bus) {
    case DiskBus::kUnknown: return "unknown";
    case DiskBus::kAta: return "ata";
    case DiskBus::kScsi: return "scsi";
    case DiskBus::kSata: return "sata";
    case DiskBus::kSas: return "sas";
    case DiskBus::kUsb: return "usb";
    case DiskBus::kNvme: return "nvme";
    case DiskBus::kSdCard: return "sd";
    case DiskBus::kMmc: return "mmc";
    case DiskBus::kVirtual: return "virtual";
    case DiskBus::kFileBacked: return "file";
    case DiskBus::kRaid: return "raid";
    case DiskBus::kOther: return "other";
  }
  return "unknown";
}

}  // namespace brinvale::platform
