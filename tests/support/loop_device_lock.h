#pragma once

// Tests that attach loop devices run one at a time, across test processes:
// disk numbers follow the sorted list of the machine's disks, so a device
// attached or detached by a neighbouring test between a test's look at the
// list and its child's open would hand the child another disk. Held for the
// life of the object; nested holders in one process share the lock.
#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

namespace brinvale::test {

class LoopDeviceLock {
 public:
  LoopDeviceLock() {
    std::lock_guard<std::mutex> guard(Mutex());
    if (Holders()++ > 0) return;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "brinvale-loop-devices.lock";
    Fd() = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // Without the lock file the tests still run, only without the guard.
    if (Fd() >= 0) {
      while (::flock(Fd(), LOCK_EX) != 0) {
      }
    }
  }
  LoopDeviceLock(const LoopDeviceLock&) = delete;
  LoopDeviceLock& operator=(const LoopDeviceLock&) = delete;
  ~LoopDeviceLock() {
    std::lock_guard<std::mutex> guard(Mutex());
    if (--Holders() > 0) return;
    if (Fd() >= 0) ::close(Fd());  // closing the descriptor drops the lock
    Fd() = -1;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static int& Holders() {
    static int holders = 0;
    return holders;
  }
  static int& Fd() {
    static int fd = -1;
    return fd;
  }
};

}  // namespace brinvale::test

#endif
