// Identification and sizing of real files made by real tools, planted in a
// raw image between noise and zero runs (tests/fixtures/content.tar.xz).
#include "deepscan/content_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "common/error_codes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "support/sha256.h"
#include "device/sector_reader.h"

namespace brinvale {
namespace {

using namespace std::literals;
using test::PlantedFile;

// How each format's sizer ends a file.
enum class Rule {
  kWhole,                    // a length field, a directory or an end marker: the true size
  kNextStart,                // runs on through the noise and zeros up to the next file
  kLastEof,                  // PDF: just after the last "%%EOF"
  kHeaderFolderOrNextStart,  // 7z: 27 bytes after an LZMA header folder, else as kNextStart
};

Rule RuleFor(int typeCode) {
  switch (typeCode) {
    case kTypePdf: return Rule::kLastEof;
    case kType7z: return Rule::kHeaderFolderOrNextStart;
    case kType3gp:
    case kTypeFlv:
    case kTypeMkv:
    case kTypeMov:
    case kTypeMp4:
    case kTypeMpeg:  // no program end code in these streams
    case kTypeMxf:
    case kTypeRealMedia:  // no index chunk in this one
    case kTypePsd:
    case kTypeTiff:
    case kTypeSqlite:
    case kTypeGzip: return Rule::kNextStart;
    default: return Rule::kWhole;
  }
}

class ContentFixtureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_files = test::LoadContentManifest();
    s_image = test::LoadContentImage();
  }
  void SetUp() override {
    ASSERT_FALSE(s_files.empty());
    ASSERT_EQ(OpenImageReader(m_reader, test::FixturePath("content.img")), kOk);
  }
  std::span<const uint8_t> SectorAt(uint64_t offset) {
    return std::span<const uint8_t>(s_image).subspan(offset, 512);
  }
  uint64_t NextOffset(size_t i) const {
    return i + 1 < s_files.size() ? s_files[i + 1].offset : s_image.size();
  }

  static std::vector<PlantedFile> s_files;
  static std::vector<uint8_t> s_image;
  SectorReader m_reader;
  SizingContext m_ctx;
};
std::vector<PlantedFile> ContentFixtureTest::s_files;
std::vector<uint8_t> ContentFixtureTest::s_image;

TEST_F(ContentFixtureTest, EveryPlantedFileIsIdentifiedAndSizedByItsRule) {
  for (size_t i = 0; i < s_files.size(); ++i) {
    const PlantedFile& f = s_files[i];
    SCOPED_TRACE(f.name);
    const uint64_t sector = f.offset / 512;
    m_ctx.SetCandidate(m_reader, 512, sector);
    std::string name;
    int code = -1;
    uint64_t size = 0;
    ASSERT_EQ(IdentifyFile(m_ctx, SectorAt(f.offset), int64_t(sector), name, code, size), kOk);
    EXPECT_EQ(code, f.typeCode);
    const std::string ext = f.name.substr(f.name.rfind('.') + 1);
    // The first row of a type code names its files.
    const std::string expectedExt = ext == "mpg" ? "mpeg" : ext == "rm" ? "rmvb" : ext;
    EXPECT_EQ(name, std::to_string(sector) + "." + expectedExt);
    switch (RuleFor(f.typeCode)) {
      case Rule::kWhole: EXPECT_EQ(size, f.size); break;
      case Rule::kNextStart: EXPECT_EQ(size, NextOffset(i) - f.offset); break;
      case Rule::kHeaderFolderOrNextStart: {
        // Small archives keep their header uncompressed, without the folder.
        const auto file = std::span<const uint8_t>(s_image).subspan(f.offset, f.size);
        const std::string_view folder = "\x00\x07\x0B\x01\x00\x01\x23\x03\x01\x01\x05\x5D"sv;
        const auto at = std::find_end(file.begin(), file.end(), folder.begin(), folder.end());
        EXPECT_EQ(size,
                  at == file.end() ? NextOffset(i) - f.offset : uint64_t(at - file.begin()) + 27);
        break;
      }
      case Rule::kLastEof: {
        const auto file = std::span<const uint8_t>(s_image).subspan(f.offset, f.size);
        const std::string_view eof = "%%EOF";
        const auto at = std::find_end(file.begin(), file.end(), eof.begin(), eof.end());
        ASSERT_NE(at, file.end());
        EXPECT_EQ(size, uint64_t(at - file.begin()) + eof.size());
        break;
      }
    }
    if (size >= f.size && f.offset + f.size <= s_image.size()) {
      const auto bytes = std::span<const uint8_t>(s_image).subspan(f.offset, f.size);
      EXPECT_EQ(test::Sha256Hex(bytes), f.sha256);
    }
  }
}

TEST_F(ContentFixtureTest, ZeroSectorBeforeEachFileIsNotAFile) {
  for (const PlantedFile& f : s_files) {
    m_ctx.SetCandidate(m_reader, 512, f.offset / 512 - 1);
    std::string name;
    int code = -1;
    uint64_t size = 0;
    EXPECT_EQ(IdentifyFile(m_ctx, SectorAt(f.offset - 512), 0, name, code, size),
              kErrInvalidParameter)
        << f.name;
    EXPECT_EQ(code, kTypeUnknown);
  }
}

// Walks the image as the content scan does: identify at each sector, then
// step over the file (or one sector for formats whose size comes from a
// header). Every planted file must be found where it was planted.
TEST_F(ContentFixtureTest, ScanStepFindsEveryPlantedFile) {
  std::map<uint64_t, int> found;
  const uint64_t total = s_image.size() / 512;
  for (uint64_t sector = 0; sector < total;) {
    m_ctx.SetCandidate(m_reader, 512, sector);
    std::string name;
    int code = -1;
    uint64_t size = 0;
    const int rc = IdentifyFile(m_ctx, SectorAt(sector * 512), int64_t(sector), name, code, size);
    ASSERT_NE(rc, kCancelled);
    if (rc != kOk) {
      ++sector;
      continue;
    }
    found[sector] = code;
    const bool stepOne = code == kTypeWord || code == kTypeCompound || code == kTypeExcel ||
                         code == kTypePowerPoint || code == kTypeWav || code == kTypeAvi ||
                         code == kTypeAsf || code == kTypeSwf || code == kTypeBmp ||
                         code == kTypeCab || code == kTypeTrueType || code == kTypeIco;
    sector += stepOne ? 1 : std::max<uint64_t>(1, (size + 511) / 512);
  }
  for (const PlantedFile& f : s_files) {
    auto it = found.find(f.offset / 512);
    ASSERT_NE(it, found.end()) << f.name;
    EXPECT_EQ(it->second, f.typeCode) << f.name;
  }
}

TEST_F(ContentFixtureTest, EveryPlantedFileMatchesItsExtension) {
  for (const PlantedFile& f : s_files) {
    const std::string ext = f.name.substr(f.name.rfind('.') + 1);
    EXPECT_EQ(MatchesExtension(m_ctx, SectorAt(f.offset), ext, m_reader, 512, f.offset / 512), 1)
        << f.name;
  }
}

}  // namespace
}  // namespace brinvale
