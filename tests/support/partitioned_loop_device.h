#pragma once

// A disk image attached as a loop device for the length of a test (Linux,
// root, losetup). Tests that cannot have one skip with the reason.
#if !defined(_WIN32)

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "support/loop_device_lock.h"

namespace brinvale::testing {

// Runs a shell command; returns its exit status, with its standard output
// in `out` when given.
inline int RunCommand(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    if (out) out->append(buffer, got);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Attached read-only with partition scanning; detached (partitions first)
// when destroyed. While one exists, no other test attaches a loop device.
class PartitionedLoopDevice {
 public:
  // Attaches `image`; empty with `whyNot` set when this machine cannot.
  static std::unique_ptr<PartitionedLoopDevice> Attach(const std::filesystem::path& image,
                                            std::string& whyNot) {
    if (::geteuid() != 0) {
      whyNot = "attaching a loop device needs root";
      return nullptr;
    }
    if (RunCommand("command -v losetup >/dev/null 2>&1 && command -v partx >/dev/null 2>&1") != 0) {
      whyNot = "losetup or partx is not installed (Debian packages mount and util-linux)";
      return nullptr;
    }
    test::LoopDeviceLock lock;  // the device's own lock takes over from this one
    std::string device;
    if (RunCommand("losetup -r -f --show -P '" + image.string() + "' 2>/dev/null", &device) != 0 ||
        device.rfind("/dev/loop", 0) != 0) {
      whyNot = "losetup could not attach " + image.string() + " (no free loop device?)";
      return nullptr;
    }
    while (!device.empty() && device.back() == '\n') device.pop_back();
    std::unique_ptr<PartitionedLoopDevice> loop(new PartitionedLoopDevice(device));
    // Some kernels in containers ignore -P; partx adds the partitions then.
    if (!loop->WaitForPartitions(1000)) {
      RunCommand("partx -a '" + device + "' >/dev/null 2>&1");
      if (!loop->WaitForPartitions(3000)) {
        whyNot = "the kernel listed no partitions for " + device;
        return nullptr;
      }
    }
    return loop;
  }

  PartitionedLoopDevice(const PartitionedLoopDevice&) = delete;
  PartitionedLoopDevice& operator=(const PartitionedLoopDevice&) = delete;
  ~PartitionedLoopDevice() {
    RunCommand("partx -d '" + m_device + "' >/dev/null 2>&1");
    RunCommand("losetup -d '" + m_device + "' >/dev/null 2>&1");
  }

  const std::string& Device() const { return m_device; }  // "/dev/loop3"
  std::string Name() const { return std::filesystem::path(m_device).filename().string(); }

 private:
  explicit PartitionedLoopDevice(std::string device) : m_device(std::move(device)) {}

  bool WaitForPartitions(int milliseconds) const {
    const std::string first = Name() + "p1";
    for (int waited = 0; waited <= milliseconds; waited += 50) {
      std::error_code ec;
      if (std::filesystem::exists("/sys/block/" + Name() + "/" + first, ec) &&
          std::filesystem::exists("/dev/" + first, ec))
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  test::LoopDeviceLock m_lock;  // before m_device: dropped after the detach
  std::string m_device;
};

}  // namespace brinvale::testing

#endif
