#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace brinvale {

// Where a FAT engine's copy puts the bytes it reads, and whom it tells how
// far it got.
struct FatCopySink {
  virtual ~FatCopySink() = default;
  virtual int Write(const uint8_t* data, size_t length) = 0;
  // A non-zero answer stops the copy and is returned by it.
  virtual int Progress(int percent) = 0;
};

// Writes the copied bytes one after another into an open file, from its
// start. Borrows `file` (must outlive the sink).
class FatFileSink : public FatCopySink {
 public:
  explicit FatFileSink(const platform::UniqueHandle& file) : m_file(file) {}
  int Write(const uint8_t* data, size_t length) override {
    const int rc = platform::WriteAll(m_file, m_offset, data, length);
    m_offset += length;
    return rc;
  }

 private:
  const platform::UniqueHandle& m_file;
  uint64_t m_offset = 0;
};

}  // namespace brinvale
