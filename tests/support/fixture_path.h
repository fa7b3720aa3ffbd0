#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#define BRINVALE_TEST_PID _getpid()
#else
#include <unistd.h>
#define BRINVALE_TEST_PID ::getpid()
#endif

// Where the tests find the unpacked fixture images and manifests: the
// BRINVALE_FIXTURE_DIR environment variable (set by CTest), else the folder
// compiled in.
namespace brinvale::test {

inline std::filesystem::path FixtureDir() {
  if (const char* dir = std::getenv("BRINVALE_FIXTURE_DIR"); dir != nullptr && *dir != '\0')
    return dir;
  return BRINVALE_FIXTURE_DIR;
}

inline std::filesystem::path FixturePath(const std::string& name) { return FixtureDir() / name; }

// The whole file, or its first `limit` bytes; empty when it cannot be read.
inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path,
                                          size_t limit = SIZE_MAX) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const auto size = std::min<uint64_t>(uint64_t(in.tellg()), limit);
  std::vector<uint8_t> bytes(size);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
  if (uint64_t(in.gcount()) != size) return {};
  return bytes;
}

// Writes `bytes` to `path`, replacing it.
inline void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Deletes a temporary file when the test ends, however it ends.
class TempFile {
 public:
  explicit TempFile(const std::string& name)
      : m_path(std::filesystem::temp_directory_path() /
               ("brinvale-" + std::to_string(BRINVALE_TEST_PID) + "-" + name)) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
  }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// A temporary folder, deleted with its content when the test ends.
class TempDir {
 public:
  explicit TempDir(const std::string& name) : m_path(TempFile(name).Path()) {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    std::filesystem::create_directories(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace brinvale::test
