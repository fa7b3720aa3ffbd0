#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/file.h"

namespace brinvale {

// A medium as a run of bytes read at 64-bit offsets: an open disk or image
// file, or memory (tests, fuzzing). Reads are positional, so a source keeps
// no position and two readers of one medium never disturb each other.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `length` bytes at `offset`; `got` receives the count that
  // arrived (0 at the end). Returns 0 or a system error code.
  virtual int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) = 0;
  // Whether ReadAt may be called from several threads at once.
  virtual bool ReadsSideBySide() const { return false; }
};

// A source over an open platform handle, which it owns.
class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(platform::UniqueHandle handle) : m_handle(std::move(handle)) {}
  int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override {
    return platform::ReadAt(m_handle, offset, buffer, length, got);
  }
  // Positional reads of an open file or disk.
  bool ReadsSideBySide() const override { return true; }
  const platform::UniqueHandle& Handle() const { return m_handle; }

 private:
  platform::UniqueHandle m_handle;
};

// A source over bytes in memory. Borrows `bytes` (must outlive the source)
// unless constructed from a vector, which it then owns.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
  explicit MemoryByteSource(std::vector<uint8_t> owned)
      : m_owned(std::move(owned)), m_bytes(m_owned) {}
  int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override;
  bool ReadsSideBySide() const override { return true; }
  size_t Size() const { return m_bytes.size(); }

 private:
  std::vector<uint8_t> m_owned;
  std::span<const uint8_t> m_bytes;
};

}  // namespace brinvale
