#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>

#include "device/image_copy.h"
#include "output/image_source.h"

// The image job: one copy of a disk, partition or image file into an image
// file, run on a worker thread and watched by an interface.
namespace brinvale {

// The values an interface shows while an image is made.
struct ImageProgress {
  int percent = 0;
  uint64_t sectorsDone = 0;
  uint64_t totalSectors = 0;
  int secondsLeft = -1;  // -1 until the first estimate
};

// How an image window closes: 1 the copy finished, 2 the user cancelled,
// 3 it failed (any other non-zero copy result).
int ImageJobCloseCode(int copyResult);

// The copy for a source: CopyDiskToImage for a disk (start 0 and count 0:
// its whole length) or a partition; an image file is copied whole in
// 512-byte sectors. Returns what the copy returns; 87 for a source without
// a disk number.
int CopyImageSource(ImageCopyJob& job, const ImageSource& source,
                    const std::filesystem::path& imagePath, void* user);

class CImageJob {
 public:
  using Copier = std::function<int(ImageCopyJob& job, const ImageSource& source,
                                   const std::filesystem::path& imagePath, void* user)>;
  // Called on the worker after every update of the progress values, outside
  // the job lock.
  using Observer = std::function<void(const ImageProgress& progress)>;

  CImageJob(ImageSource source, std::filesystem::path imagePath, Copier copier = CopyImageSource);
  CImageJob(const CImageJob&) = delete;
  CImageJob& operator=(const CImageJob&) = delete;

  // Set before Run.
  void SetObserver(Observer observer) { m_observer = std::move(observer); }

  // Runs the copy on the calling thread. Returns 0, the copy's system error,
  // or kCancelled (-9527) when a cancel was requested. The partial file
  // stays after a failure or a cancel.
  int Run();

  // Any thread: the copy stops at its next progress call.
  void RequestCancel() { m_cancelRequested.store(true); }
  bool CancelRequested() const { return m_cancelRequested.load(); }

  // An interface holds this while it asks whether to cancel, so that the
  // copy waits at its next progress call until the answer is in.
  std::mutex& JobLock() { return m_lock; }

  ImageProgress Progress() const;
  bool Finished() const { return m_finished.load(); }
  int Result() const { return m_result.load(); }
  int CloseCode() const { return ImageJobCloseCode(Result()); }
  const ImageSource& Source() const { return m_source; }
  const std::filesystem::path& ImagePath() const { return m_imagePath; }

 private:
  static int OnCopyProgress(void* user, int percent, uint64_t sectorsDone, uint64_t totalSectors,
                            int secondsLeft);

  ImageSource m_source;
  std::filesystem::path m_imagePath;
  Copier m_copier;
  Observer m_observer;
  mutable std::mutex m_lock;
  ImageProgress m_progress;  // guarded by m_lock
  std::atomic<bool> m_cancelRequested{false};
  std::atomic<bool> m_finished{false};
  std::atomic<int> m_result{0};
};

}  // namespace brinvale
