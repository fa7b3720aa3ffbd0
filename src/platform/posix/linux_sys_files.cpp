#include "platform/posix/linux_sys_files.h"

#include <sys/sysmacros.h>

#include <charconv>
#include <fstream>
#include <sstream>

namespace brinvale::platform::linux_files {

namespace fs = std::filesystem;

std::string ReadFirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  if (in) std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r'))
    line.pop_back();
  return line;
}

bool ReadNumber(const fs::path& path, uint64_t& value) {
  std::string text = ReadFirstLine(path);
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

uint64_t ParseDeviceNumber(std::string_view text) {
  unsigned major = 0, minor = 0;
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return 0;
  auto a = std::from_chars(text.data(), text.data() + colon, major);
  auto b = std::from_chars(text.data() + colon + 1, text.data() + text.size(), minor);
  if (a.ec != std::errc() || b.ec != std::errc() || a.ptr != text.data() + colon ||
      b.ptr != text.data() + text.size())
    return 0;
  return uint64_t(makedev(major, minor));
}

std::string UnescapeMountField(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(char((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::map<uint64_t, MountEntry> ReadMountTable(const fs::path& mountInfo) {
  std::map<uint64_t, MountEntry> table;
  std::ifstream in(mountInfo);
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional...] - fstype source super
    std::istringstream fields(line);
    std::string id, parent, devnum, root, mountPoint;
    if (!(fields >> id >> parent >> devnum >> root >> mountPoint)) continue;
    const uint64_t device = ParseDeviceNumber(devnum);
    if (device == 0) continue;
    MountEntry entry;
    entry.mountPoint = UnescapeMountField(mountPoint);
    entry.wholeTree = root == "/";
    size_t dash = line.find(" - ");
    if (dash != std::string::npos) {
      std::istringstream tail(line.substr(dash + 3));
      std::string type, source;
      tail >> type >> source;
      entry.source = UnescapeMountField(source);
      entry.type = type;
    }
    auto it = table.find(device);
    if (it == table.end())
      table.emplace(device, std::move(entry));
    else if (!it->second.wholeTree && entry.wholeTree)
      it->second = std::move(entry);
  }
  return table;
}

}  // namespace brinvale::platform::linux_files
