// Replays saved fuzz inputs through a target when libFuzzer is not available
// (GCC, mingw): each argument is a file or a folder of files. A folder that
// does not exist replays nothing. Also feeds a few fixed inputs (empty, one
// byte, zeros, 0xFF) so every target runs at least once.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  size_t count = 0;
  for (size_t size : {0, 1, 512, 4096, 65536}) {
    for (uint8_t fill : {0x00, 0xFF, 0x20}) {
      std::vector<uint8_t> bytes(size, fill);
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++count;
    }
  }
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg, ec)) {
        if (entry.is_regular_file()) {
          RunFile(entry.path());
          ++count;
        }
      }
    } else if (std::filesystem::is_regular_file(arg, ec)) {
      RunFile(arg);
      ++count;
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return 0;
}
