#include "output/image_job.h"

#include "common/error_codes.h"
#include "device/byte_source.h"
#include "platform/file.h"

namespace brinvale {

int ImageJobCloseCode(int copyResult) {
  if (copyResult == kOk) return 1;
  if (copyResult == kCancelled) return 2;
  return 3;
}

int CopyImageSource(ImageCopyJob& job, const ImageSource& source,
                    const std::filesystem::path& imagePath, void* user) {
  switch (source.kind) {
    case ImageSource::Kind::kImageFile: {
      platform::UniqueHandle file;
      if (int rc = platform::OpenFile(source.imageFile, platform::OpenMode::kReadExisting, file);
          rc != kOk)
        return rc;
      uint64_t size = 0;
      if (int rc = platform::FileSizeOf(file, size); rc != kOk) return rc;
      FileByteSource bytes(std::move(file));
      const uint64_t sectors = size / 512;
      if (sectors == 0) return kErrReadFault;  // nothing whole to copy
      return CopySourceToImage(job, bytes, 512, size, 0, sectors, imagePath, user);
    }
    case ImageSource::Kind::kPartition:
      if (source.diskNumber < 0 || source.sectorCount == 0) return kErrInvalidParameter;
      return CopyDiskToImage(job, source.diskNumber, source.startSector, source.sectorCount,
                             imagePath, user);
    case ImageSource::Kind::kWholeDisk:
      if (source.diskNumber < 0) return kErrInvalidParameter;
      return CopyDiskToImage(job, source.diskNumber, 0, 0, imagePath, user);
  }
  return kErrInvalidParameter;
}

CImageJob::CImageJob(ImageSource source, std::filesystem::path imagePath, Copier copier)
    : m_source(std::move(source)), m_imagePath(std::move(imagePath)), m_copier(std::move(copier)) {}

ImageProgress CImageJob::Progress() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_progress;
}

int CImageJob::Run() {
  ImageCopyJob copy;
  copy.progress = &CImageJob::OnCopyProgress;
  int rc = kOk;
  try {
    rc = m_copier(copy, m_source, m_imagePath, this);
  } catch (const std::bad_alloc&) {
    rc = kErrOutOfMemory;
  }
  // A cancel the copy saw comes back as the callback's own value.
  m_result.store(rc);
  m_finished.store(true);
  return rc;
}

int CImageJob::OnCopyProgress(void* user, int percent, uint64_t sectorsDone, uint64_t totalSectors,
                              int secondsLeft) {
  auto* job = static_cast<CImageJob*>(user);
  ImageProgress now;
  {
    std::lock_guard<std::mutex> guard(job->m_lock);
    if (job->m_cancelRequested.load()) return kCancelled;
    job->m_progress = {percent, sectorsDone, totalSectors, secondsLeft};
    now = job->m_progress;
  }
  if (job->m_observer) job->m_observer(now);
  // An observer may have asked to stop (the command line's Ctrl-C).
  return job->m_cancelRequested.load() ? kCancelled : kOk;
}

}  // namespace brinvale
