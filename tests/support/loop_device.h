#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "support/child_process.h"
#include "support/loop_device_lock.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

// A file attached to a free loop device (read-only unless asked) for the
// life of the object (Linux, root only). Detaches in the destructor, whatever
// happened. While one exists, no other test attaches a loop device.
namespace brinvale::test {

class LoopDevice {
 public:
  enum class Access { kReadOnly, kReadWrite };

  // Attaches `image`; on failure Device() is empty and Why() says why.
  explicit LoopDevice(const std::filesystem::path& image, Access access = Access::kReadOnly) {
#if defined(_WIN32)
    (void)image;
    (void)access;
    m_why = "loop devices are a Linux feature";
#else
    if (::geteuid() != 0) {
      m_why = "attaching a loop device needs root";
      return;
    }
    for (const char* candidate : {"/usr/sbin/losetup", "/sbin/losetup", "/usr/bin/losetup"}) {
      if (::access(candidate, X_OK) == 0) {
        m_losetup = candidate;
        break;
      }
    }
    if (m_losetup.empty()) {
      m_why = "losetup is not installed (Debian package mount)";
      return;
    }
    ChildResult attached =
        access == Access::kReadOnly
            ? RunChild({m_losetup, "-f", "--show", "-r", image.string()})
            : RunChild({m_losetup, "-f", "--show", image.string()});
    std::string device = attached.out.substr(0, attached.out.find('\n'));
    if (attached.exitCode != 0 || device.rfind("/dev/loop", 0) != 0) {
      m_why = "losetup could not attach " + image.string() + ": " + attached.err;
      return;
    }
    m_device = std::move(device);
#endif
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  ~LoopDevice() {
#if !defined(_WIN32)
    if (!m_device.empty()) (void)RunChild({m_losetup, "-d", m_device});
#endif
  }

  const std::string& Device() const { return m_device; }  // "/dev/loopN"
  std::string KernelName() const {                        // "loopN"
    return std::filesystem::path(m_device).filename().string();
  }
  const std::string& Why() const { return m_why; }

 private:
#if !defined(_WIN32)
  LoopDeviceLock m_lock;  // first member: taken before the attach, dropped after the detach
#endif
  std::string m_losetup;
  std::string m_device;
  std::string m_why;
};

}  // namespace brinvale::test
