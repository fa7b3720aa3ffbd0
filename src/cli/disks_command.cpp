#include "cli/disks_command.h"

#include <cstdio>
#include <cstring>

#include "common/size_text.h"
#include "platform/disk_enumeration.h"

namespace brinvale::cli {
namespace {

const char* KindName(VolumeInfo::Kind kind) {
  switch (kind) {
    case VolumeInfo::Kind::kVolume: return "volume";
    case VolumeInfo::Kind::kGap: return "gap";
    case VolumeInfo::Kind::kWholeDisk: return "disk";
  }
  return "volume";
}

bool HasLetter(const VolumeInfo& v) {
  return !v.numbered && ((v.driveLetter >= u'A' && v.driveLetter <= u'Z') ||
                         (v.driveLetter >= u'a' && v.driveLetter <= u'z'));
}

// "C:" for a lettered volume, "#3" for a numbered one, "-" otherwise.
std::string Designation(const VolumeInfo& v) {
  if (HasLetter(v)) return std::string(1, char(v.driveLetter)) + ":";
  if (v.numbered) return "#" + std::to_string(unsigned(v.driveLetter));
  return "-";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out.push_back(char(c));
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string FormatDiskList(const DiskMap& disks) {
  std::string out;
  char line[512];
  for (const auto& [disk, list] : disks) {
    const VolumeInfo& first = list.front();
    std::snprintf(line, sizeof line, "Disk %d  (%s%s, %u-byte sectors)\n", disk,
                  platform::DiskBusName(first.bus), first.removable ? ", removable" : "",
                  first.bytesPerSector);
    out += line;
    for (const VolumeInfo& v : list) {
      std::snprintf(line, sizeof line,
                    "  %-4s %-6s part %-3d type 0x%02X start %-12llu length %-12llu %-6s "
                    "total %-10s used %-10s free %-10s",
                    Designation(v).c_str(), KindName(v.kind), v.partitionNumber, v.typeCode,
                    static_cast<unsigned long long>(v.start),
                    static_cast<unsigned long long>(v.length),
                    v.fileSystemName.empty() ? "-" : v.fileSystemName.c_str(),
                    SizeText(int64_t(v.totalBytes)).c_str(), SizeText(int64_t(v.usedBytes)).c_str(),
                    SizeText(int64_t(v.freeBytes)).c_str());
      out += line;
      if (!v.label.empty()) out += " label \"" + v.label + "\"";
      if (!v.volumePath.empty()) out += " " + v.volumePath;
      if (!v.mountPoint.empty()) out += " on " + v.mountPoint;
      // The system showed no volume here: the disk's own table did.
      if (v.origin == VolumeInfo::Origin::kPartitionTable) out += " (from the partition table)";
      if (v.kind == VolumeInfo::Kind::kWholeDisk && !v.tableProblem.empty())
        out += " (partition table damaged: " + v.tableProblem + "; scan the disk whole)";
      out += "\n";
    }
  }
  return out;
}

std::string FormatDiskListJson(const DiskMap& disks) {
  std::string out = "{\"disks\": [";
  bool firstDisk = true;
  for (const auto& [disk, list] : disks) {
    out += firstDisk ? "\n" : ",\n";
    firstDisk = false;
    out += "  {\"number\": " + std::to_string(disk) + ", \"records\": [";
    bool firstRecord = true;
    for (const VolumeInfo& v : list) {
      out += firstRecord ? "\n" : ",\n";
      firstRecord = false;
      out += "    {\"kind\": " + JsonString(KindName(v.kind));
      out += ", \"letter\": " +
             (HasLetter(v) ? JsonString(std::string(1, char(v.driveLetter))) : "null");
      out += ", \"number\": " + (v.numbered ? std::to_string(unsigned(v.driveLetter)) : "null");
      out += ", \"partition\": " + std::to_string(v.partitionNumber);
      out += ", \"type\": " + std::to_string(v.typeCode);
      out += ", \"start\": " + std::to_string(v.start);
      out += ", \"length\": " + std::to_string(v.length);
      out += ", \"bytesPerSector\": " + std::to_string(v.bytesPerSector);
      out += ", \"fileSystem\": " + JsonString(v.fileSystemName);
      out += ", \"label\": " + JsonString(v.label);
      out += ", \"totalBytes\": " + std::to_string(v.totalBytes);
      out += ", \"usedBytes\": " + std::to_string(v.usedBytes);
      out += ", \"freeBytes\": " + std::to_string(v.freeBytes);
      out += ", \"path\": " + JsonString(v.volumePath);
      out += ", \"mountPoint\": " + (v.mountPoint.empty() ? "null" : JsonString(v.mountPoint));
      out += ", \"removable\": " + std::string(v.removable ? "true" : "false");
      out += ", \"bus\": " + JsonString(platform::DiskBusName(v.bus));
      out += ", \"origin\": " +
             JsonString(v.origin == VolumeInfo::Origin::kPartitionTable ? "table" : "system");
      out += ", \"tableProblem\": " +
             (v.tableProblem.empty() ? std::string("null") : JsonString(v.tableProblem)) + "}";
    }
    out += "\n  ]}";
  }
  out += firstDisk ? "]}\n" : "\n]}\n";
  return out;
}

int RunDisks(int argc, char** argv) {
  bool json = false;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else {
      std::fprintf(stderr, "usage: brinvale-cli disks [--json]\n");
      return 2;
    }
  }
  DiskEnumerator enumerator;
  if (!RefreshDisks(enumerator)) {
    std::fprintf(stderr, "brinvale-cli: the list of volumes cannot be read\n");
    return 1;
  }
  const std::string text =
      json ? FormatDiskListJson(enumerator.Disks()) : FormatDiskList(enumerator.Disks());
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace brinvale::cli
