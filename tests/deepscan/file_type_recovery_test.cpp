// The content engine: found-file records, the step rule, the flat listing,
// recovery and preview, over byte-built media and over the real-file image
// tests/fixtures/content.tar.xz, offered sector by sector as the full scan
// does.
#include "deepscan/file_type_recovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "deepscan/content_fixture.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/file_type_table.h"
#include "support/sha256.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

namespace brinvale {
namespace {

using namespace std::literals;
namespace fs = std::filesystem;
using test::PlantedFile;
using Position = CFileTypeRecovery::ScanPosition;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// A fresh folder for the logs and copies of each test.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_folder = fs::temp_directory_path() /
               ("brinvale_ftr_" + std::string(info->test_suite_name()) + "_" + info->name());
    fs::remove_all(m_folder);
    fs::create_directories(m_folder);
    m_engine.SetScanLogFolder(m_folder / "log");
    m_engine.SetPreviewFolder(m_folder / "preview");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_folder, ec);
  }
  // Opens the engine on `bytes` in memory, `total` sectors long (default:
  // as many as the bytes hold).
  void OpenOn(std::vector<uint8_t> bytes, uint32_t bps = 512, uint64_t total = 0) {
    SectorReader reader;
    const uint64_t sectors = total ? total : bytes.size() / bps;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(bytes)), sectors);
    ASSERT_EQ(m_engine.OpenReader(std::move(reader), bps, u'Q'), kOk);
  }
  int Offer(std::span<const uint8_t> sector, uint64_t at, uint64_t& step) {
    return m_engine.RecordFoundFile(sector, at, Position{at, 1000, -1}, step, m_found);
  }
  RecordList List() {
    RecordList out;
    EXPECT_EQ(m_engine.ListChildren(nullptr, 0, out), kOk);
    return out;
  }

  fs::path m_folder;
  CFileTypeRecovery m_engine;
  uint64_t m_found = 0;
};

// A medium of `sectors` 512-byte sectors of filler that no detector takes
// for a file start or for file-system metadata.
std::vector<uint8_t> Filler(size_t sectors) {
  std::vector<uint8_t> bytes(sectors * 512);
  for (size_t n = 0; n < sectors; ++n)
    std::fill_n(bytes.begin() + std::ptrdiff_t(n * 512), 512, uint8_t(0x55 + n % 3));
  return bytes;
}
void Put(std::vector<uint8_t>& bytes, size_t at, std::string_view text) {
  std::copy(text.begin(), text.end(), bytes.begin() + std::ptrdiff_t(at));
}
std::span<const uint8_t> SectorOf(const std::vector<uint8_t>& bytes, uint64_t n,
                                  uint32_t bps = 512) {
  return std::span<const uint8_t>(bytes).subspan(n * bps, bps);
}
// A RIFF WAVE header whose RIFF length is `length`.
void PutWav(std::vector<uint8_t>& bytes, size_t at, uint32_t length) {
  Put(bytes, at, "RIFF\0\0\0\0WAVEfmt "sv);  // RIFF, length, form, first chunk
  StoreLe32(std::span<uint8_t>(bytes), at + 4, length);
}

// --- Records and the step rule, byte by byte --------------------------------

TEST_F(EngineTest, JpegOfTenSectorsIsNamedBySectorAndSteppedOver) {
  auto bytes = Filler(5100);
  const size_t at = 5000 * 512;
  Put(bytes, at, "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"sv);  // SOI, APP0, "JFIF"
  Put(bytes, at + 9 * 512 + 510, "\xFF\xD9"sv);          // EOI ends sector 5009
  Put(bytes, at + 12 * 512, "%PDF-1.4"sv);               // the next file
  OpenOn(bytes);
  uint64_t step = 0;
  ASSERT_EQ(Offer(SectorOf(bytes, 5000), 5000, step), kOk);
  EXPECT_EQ(step, 10u);  // the scan resumes at sector 5,010
  EXPECT_EQ(m_found, 1u);
  const RecordList list = List();
  ASSERT_EQ(list.size(), 1u);
  const ScanRecord& r = list[0];
  EXPECT_EQ(r.Name(), "5000.jpg");
  EXPECT_EQ(r.SourceKey(), u'Q');
  EXPECT_EQ(r.Engine(), EngineCode::kContent);
  EXPECT_FALSE(r.IsFolder());
  EXPECT_EQ(r.ContentCheck(), 1u);
  EXPECT_EQ(r.Number(), 1u);
  EXPECT_EQ(r.EntryKey(), 0u);
  EXPECT_EQ(r.ClusterBytes(), 0xFFFFFFFFu);
  EXPECT_EQ(r.FileSize(), 10 * 512u);
  EXPECT_EQ(r.MetadataSector(), 5000u);
  EXPECT_EQ(r.PartitionStart(), 0u);
  EXPECT_EQ(r.Created(), 0u);
  // Every byte not written stays zero: the name's NUL and what follows.
  const auto raw = r.Bytes();
  EXPECT_TRUE(std::all_of(raw.begin() + rec::kName + 8, raw.end(), [](uint8_t b) { return !b; }));
}

TEST_F(EngineTest, HeaderSizedFormatsStepOneSector) {
  auto bytes = Filler(100);
  PutWav(bytes, 32 * 512, 20000);  // sector 32: a WAV of 20,008 bytes
  OpenOn(bytes);
  uint64_t step = 0;
  ASSERT_EQ(Offer(SectorOf(bytes, 32), 32, step), kOk);
  EXPECT_EQ(step, 1u);  // the sectors inside the WAV are still offered
  ASSERT_EQ(List().size(), 1u);
  EXPECT_EQ(List()[0].FileSize(), 20008u);
  EXPECT_EQ(List()[0].Name(), "32.wav");
}

TEST(FileTypeStep, RuleByTypeCode) {
  for (int code : {kTypeWord, kTypeCompound, kTypeExcel, kTypePowerPoint, kTypeWav, kTypeAvi,
                   kTypeAsf, kTypeSwf, kTypeBmp, kTypeCab, kTypeTrueType, kTypeIco})
    EXPECT_EQ(SectorsToStep(code, 100000, 512), 1u) << code;
  EXPECT_EQ(SectorsToStep(kTypeJpeg, 5120, 512), 10u);  // whole sectors
  EXPECT_EQ(SectorsToStep(kTypeJpeg, 5121, 512), 11u);  // rounded up
  EXPECT_EQ(SectorsToStep(kTypeMkv, 5121, 4096), 2u);
  EXPECT_EQ(SectorsToStep(kTypeMidi, 0, 512), 1u);  // never 0: the scan must move
}

TEST_F(EngineTest, ExecutableIsRecognisedButNotRecorded) {
  auto bytes = Filler(8);
  std::fill_n(bytes.begin(), 512, 0);
  Put(bytes, 0, "MZ"sv);
  StoreLe32(std::span<uint8_t>(bytes), 0x3C, 0x80);  // PE header offset
  Put(bytes, 0x80, "PE\0\0"sv);
  StoreLe16(std::span<uint8_t>(bytes), 0x80 + 22, 0x0002);  // executable image
  OpenOn(bytes);
  uint64_t step = 0;
  EXPECT_EQ(Offer(SectorOf(bytes, 0), 0, step), kErrInvalidParameter);
  EXPECT_EQ(step, 1u);
  EXPECT_EQ(m_engine.GetRecordCount(), 0u);
  EXPECT_EQ(m_found, 0u);
}

TEST_F(EngineTest, NothingRecognisedStepsOne) {
  auto bytes = Filler(4);
  OpenOn(bytes);
  uint64_t step = 7;
  EXPECT_EQ(Offer(SectorOf(bytes, 1), 1, step), kErrInvalidParameter);
  EXPECT_EQ(step, 1u);
}

TEST_F(EngineTest, WithoutALogNothingIsRecorded) {
  auto bytes = Filler(4);
  PutWav(bytes, 0, 100);
  uint64_t step = 0;
  EXPECT_EQ(Offer(SectorOf(bytes, 0), 0, step), kErrInvalidHandle);
  EXPECT_EQ(step, 1u);
  EXPECT_EQ(m_engine.GetRecordCount(), 0u);
  uint32_t count = 9;
  EXPECT_EQ(m_engine.CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(m_engine.SetSearchCallback(nullptr, nullptr), kErrInvalidParameter);
  RecordList out;
  EXPECT_EQ(m_engine.Search("*.wav", out), kOk);
  EXPECT_TRUE(out.empty());
}

// Mended: a length from a header that points past the medium made a record
// that could never be recovered whole; the size now ends with the medium.
TEST_F(EngineTest, SizePastTheEndOfTheMediumIsCutAtTheEnd) {
  auto bytes = Filler(16);
  PutWav(bytes, 8 * 512, 1000000);  // sector 8: claims 1,000,008 bytes
  OpenOn(bytes);
  uint64_t step = 0;
  ASSERT_EQ(Offer(SectorOf(bytes, 8), 8, step), kOk);
  const RecordList list = List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].FileSize(), 8 * 512u);
  const fs::path target = m_folder / "out" / "8.wav";
  ASSERT_EQ(m_engine.RecoverRecord(list[0], target, 0), kOk);
  const auto copied = ReadAll(target);
  EXPECT_EQ(copied, std::vector<uint8_t>(bytes.begin() + 8 * 512, bytes.end()));
}

// Mended: the name is the start sector as an unsigned number, also beyond
// the range of a signed 64-bit value.
TEST_F(EngineTest, NameIsTheUnsignedStartSector) {
  auto bytes = Filler(1);
  PutWav(bytes, 0, 100);
  OpenOn(bytes, 512, UINT64_MAX);
  const uint64_t sector = (uint64_t(1) << 63) + 5;
  uint64_t step = 0;
  ASSERT_EQ(Offer(SectorOf(bytes, 0), sector, step), kOk);
  ASSERT_EQ(List().size(), 1u);
  EXPECT_EQ(List()[0].Name(), "9223372036854775813.wav");
  EXPECT_EQ(List()[0].MetadataSector(), sector);
}

// --- Progress and cancel from a sizer ---------------------------------------

struct ProgressLog {
  int calls = 0;
  int cancelOnCall = 0;  // 0: never
  int percent = 0, scale = 0, secondsLeft = 0;
  uint64_t current = 0, total = 0, files = 0;
};
int OnProgress(void* user, int percent, int scale, int secondsLeft, uint64_t current,
               uint64_t total, uint64_t files, int) {
  auto* log = static_cast<ProgressLog*>(user);
  ++log->calls;
  log->percent = percent;
  log->scale = scale;
  log->secondsLeft = secondsLeft;
  log->current = current;
  log->total = total;
  log->files = files;
  return log->calls == log->cancelOnCall ? kCancelled : 0;
}

TEST_F(EngineTest, SizerReportsProgressAndCanCancel) {
  auto bytes = Filler(600);
  Put(bytes, 0, "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"sv);  // a JPEG with no end marker
  OpenOn(bytes);
  ProgressLog log;
  m_engine.SetProgressCallback(OnProgress, nullptr, &log, 90);
  m_found = 3;
  uint64_t step = 0;
  ASSERT_EQ(m_engine.RecordFoundFile(SectorOf(bytes, 0), 0, Position{100, 1000, 42}, step, m_found),
            kOk);
  // 599 sectors after the start: 128, 128, 128, 128, 87 per chunk.
  EXPECT_EQ(log.calls, 5);
  EXPECT_EQ(log.current, 100u + 599u);  // scanned before + read by the sizing
  EXPECT_EQ(log.total, 1000u);
  EXPECT_EQ(log.percent, 699 * 100 / 1000 + 10);
  EXPECT_EQ(log.scale, 90);
  EXPECT_EQ(log.secondsLeft, 42);
  EXPECT_EQ(log.files, 3u);  // the count before this find
  EXPECT_EQ(m_found, 4u);

  // The same file again, cancelled in the sizer's second progress call.
  log = ProgressLog{};
  log.cancelOnCall = 2;
  EXPECT_EQ(m_engine.RecordFoundFile(SectorOf(bytes, 0), 0, Position{}, step, m_found), kCancelled);
  EXPECT_EQ(log.calls, 2);
  EXPECT_EQ(m_found, 4u);  // nothing recorded
  EXPECT_EQ(m_engine.GetRecordCount(), 1u);
}

// --- Recovery and preview ---------------------------------------------------

struct CopyLog {
  std::vector<std::pair<int, int>> calls;  // percent, error
  int cancelOnCall = 0;
};
int OnCopy(void* user, int percent, int scale, int error, const fs::path&) {
  auto* log = static_cast<CopyLog*>(user);
  EXPECT_EQ(scale, 100);
  log->calls.emplace_back(percent, error);
  return int(log->calls.size()) == log->cancelOnCall ? kCancelled : 0;
}

ScanRecord ContentRecord(std::string_view name, uint64_t sector, uint64_t size) {
  ScanRecord r;
  r.SetEngine(EngineCode::kContent);
  r.SetName(name);
  r.SetMetadataSector(sector);
  r.SetFileSize(size);
  return r;
}

// Mended: the target is created or truncated, so an older, longer file
// there does not keep its tail after the recovered bytes.
TEST_F(EngineTest, RecoveryReplacesAnOlderLongerFile) {
  auto bytes = Filler(300);
  OpenOn(bytes);
  const fs::path target = m_folder / "out" / "5.jpg";
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary) << std::string(200000, '\xEE');
  CopyLog log;
  m_engine.SetProgressCallback(nullptr, OnCopy, &log, 100);
  ASSERT_EQ(m_engine.RecoverRecord(ContentRecord("5.jpg", 5, 70000), target, 0), kOk);
  EXPECT_EQ(ReadAll(target),
            std::vector<uint8_t>(bytes.begin() + 5 * 512, bytes.begin() + 5 * 512 + 70000));
  // Two chunks of at most 64 KiB, the last at 100 % with no error.
  ASSERT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[0], std::make_pair(65536 * 100 / 70000, 0));
  EXPECT_EQ(log.calls[1], std::make_pair(100, 0));
}

TEST_F(EngineTest, RecoveryPastTheEndFailsWithReadFault) {
  auto bytes = Filler(20);
  OpenOn(bytes);
  CopyLog log;
  m_engine.SetProgressCallback(nullptr, OnCopy, &log, 100);
  // Starts beyond the medium: no sector arrives.
  EXPECT_EQ(m_engine.RecoverRecord(ContentRecord("30.jpg", 30, 100), m_folder / "a.jpg", 0),
            kErrReadFault);
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(log.calls[0], std::make_pair(100, kErrReadFault));
  // Nothing was written: no empty file is left behind.
  EXPECT_FALSE(fs::exists(m_folder / "a.jpg"));
  // Runs past the end: the sectors there are written, then the fault; what
  // was written keeps a name that says the file is not whole.
  log.calls.clear();
  EXPECT_EQ(m_engine.RecoverRecord(ContentRecord("18.jpg", 18, 4000), m_folder / "b.jpg", 0),
            kErrReadFault);
  EXPECT_FALSE(fs::exists(m_folder / "b.jpg"));
  EXPECT_EQ(ReadAll(m_folder / "b.partial.jpg"),
            std::vector<uint8_t>(bytes.begin() + 18 * 512, bytes.end()));
  ASSERT_FALSE(log.calls.empty());
  EXPECT_EQ(log.calls.back(), std::make_pair(100, kErrReadFault));
}

TEST_F(EngineTest, RecoveryCancelledByTheCopyCallback) {
  auto bytes = Filler(600);
  OpenOn(bytes);
  CopyLog log;
  log.cancelOnCall = 1;
  m_engine.SetProgressCallback(nullptr, OnCopy, &log, 100);
  EXPECT_EQ(m_engine.RecoverRecord(ContentRecord("0.tif", 0, 200000), m_folder / "c.tif", 0),
            kCancelled);
  // The first chunk's report stopped it; the file is then reported as
  // cancelled, its first chunk kept under a name that says so.
  ASSERT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[1], std::make_pair(100, kCancelled));
  EXPECT_FALSE(fs::exists(m_folder / "c.tif"));
  EXPECT_EQ(ReadAll(m_folder / "c.partial.tif").size(), 65536u);
}

// Mended: an empty found file (a bitmap whose size field is 0) is still
// reported once as finished, so the recovery counts it.
TEST_F(EngineTest, EmptyFileIsReportedAsDone) {
  auto bytes = Filler(4);
  std::fill_n(bytes.begin(), 512, 0);
  Put(bytes, 0, "BM"sv);                         // file size at 2 left 0
  StoreLe32(std::span<uint8_t>(bytes), 14, 40);  // info header size
  OpenOn(bytes);
  uint64_t step = 0;
  ASSERT_EQ(Offer(SectorOf(bytes, 0), 0, step), kOk);
  ASSERT_EQ(List().size(), 1u);
  EXPECT_EQ(List()[0].FileSize(), 0u);
  CopyLog log;
  m_engine.SetProgressCallback(nullptr, OnCopy, &log, 100);
  ASSERT_EQ(m_engine.RecoverRecord(List()[0], m_folder / "0.bmp", 0), kOk);
  EXPECT_TRUE(fs::exists(m_folder / "0.bmp"));
  EXPECT_EQ(fs::file_size(m_folder / "0.bmp"), 0u);
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(log.calls[0], std::make_pair(100, 0));
}

TEST_F(EngineTest, PreviewTargetsByKind) {
  auto bytes = Filler(40);
  OpenOn(bytes);
  const fs::path preview = m_folder / "preview";
  const std::vector<uint8_t> expected(bytes.begin() + 2 * 512, bytes.begin() + 2 * 512 + 3000);
  struct Case {
    std::string_view name;
    fs::path target;  // empty: into the buffer
  };
  const Case cases[] = {{"2.jpg", preview / "tmp.jpg"}, {"2.mp3", preview / "tmp.avi"},
                        {"2.mkv", preview / "tmp.avi"}, {"2.pdf", preview / "2.pdf"},
                        {"2.zip", preview / "2.zip"},   {"2.ttf", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    fs::path path;
    std::vector<uint8_t> buffer(1000, 0);
    uint64_t size = buffer.size();
    ASSERT_EQ(m_engine.ExtractRecord(ContentRecord(c.name, 2, 3000), path, buffer.data(), size,
                                     nullptr, nullptr),
              kOk);
    EXPECT_EQ(path, c.target);
    if (c.target.empty()) {
      EXPECT_EQ(size, 1000u);  // at most the byte limit
      EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), expected.begin()));
    } else {
      EXPECT_EQ(size, 0u);
      EXPECT_EQ(ReadAll(c.target), expected);
    }
  }
  // A preview that fails leaves no file and no path.
  fs::path path;
  uint64_t size = 0;
  EXPECT_EQ(m_engine.ExtractRecord(ContentRecord("99.jpg", 99, 3000), path, nullptr, size, nullptr,
                                   nullptr),
            kErrReadFault);
  EXPECT_TRUE(path.empty());
  EXPECT_FALSE(fs::exists(preview / "tmp.jpg"));
}

TEST_F(EngineTest, SlotsWithoutWork) {
  OpenOn(Filler(4));
  uint64_t start = 0, length = 0;
  EXPECT_EQ(m_engine.NextFreeRange(start, length), 0);
  EXPECT_EQ(m_engine.BuildAllocationMap(), kOk);
  EXPECT_EQ(m_engine.Scan(nullptr), kOk);
  std::string path = "x";
  EXPECT_EQ(m_engine.GetRecordPath(ContentRecord("1.jpg", 1, 1), path, 260), kOk);
  EXPECT_TRUE(path.empty());
}

// --- The real-file image, scanned as the full scan offers it ----------------

// How each format's sizer ends a planted file.
uint64_t SizeByRule(const std::vector<PlantedFile>& files, size_t i,
                    std::span<const uint8_t> image) {
  const PlantedFile& f = files[i];
  const uint64_t next = i + 1 < files.size() ? files[i + 1].offset : image.size();
  const auto file = image.subspan(f.offset, f.size);
  auto lastAt = [&](std::string_view marker) {
    return std::find_end(file.begin(), file.end(), marker.begin(), marker.end());
  };
  switch (f.typeCode) {
    case kTypePdf: return uint64_t(lastAt("%%EOF") - file.begin()) + 5;
    case kType7z: {
      // Small archives keep their header uncompressed, without the folder.
      const auto at = lastAt("\x00\x07\x0B\x01\x00\x01\x23\x03\x01\x01\x05\x5D"sv);
      return at == file.end() ? next - f.offset : uint64_t(at - file.begin()) + 27;
    }
    case kType3gp:
    case kTypeFlv:
    case kTypeMkv:
    case kTypeMov:
    case kTypeMp4:
    case kTypeMpeg:
    case kTypeMxf:
    case kTypeRealMedia:
    case kTypePsd:
    case kTypeTiff:
    case kTypeSqlite:
    case kTypeGzip: return next - f.offset;  // on through the filler to the next file
    default: return f.size;                  // a length, a directory or an end marker
  }
}

class ContentImageTest : public EngineTest {
 protected:
  static void SetUpTestSuite() {
    s_files = test::LoadContentManifest();
    s_image = test::LoadContentImage();
  }
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_FALSE(s_files.empty());
    ASSERT_EQ(m_engine.OpenForImage(512, {}, u'I', test::FixturePath("content.img")), kOk);
  }
  // Offers every sector from the first, honouring the step, as the full
  // scan's pass does; returns the sectors offered.
  std::vector<uint64_t> ScanAll() {
    std::vector<uint64_t> offered;
    const uint64_t total = s_image.size() / 512;
    for (uint64_t s = 0; s < total;) {
      offered.push_back(s);
      uint64_t step = 0;
      const int rc =
          m_engine.RecordFoundFile(std::span<const uint8_t>(s_image).subspan(s * 512, 512), s,
                                   Position{s, total, -1}, step, m_found);
      EXPECT_TRUE(rc == kOk || rc == kErrInvalidParameter) << rc;
      EXPECT_GE(step, 1u);
      s += step;
    }
    return offered;
  }
  std::map<uint64_t, ScanRecord> BySector() {
    std::map<uint64_t, ScanRecord> out;
    for (const ScanRecord& r : List()) out[r.MetadataSector()] = r;
    return out;
  }

  static std::vector<PlantedFile> s_files;
  static std::vector<uint8_t> s_image;
};
std::vector<PlantedFile> ContentImageTest::s_files;
std::vector<uint8_t> ContentImageTest::s_image;

int TypeCodeOfExtension(std::string_view ext) {
  for (const FileTypeRow& row : FileTypeTable())
    if (row.extension == ext) return row.typeCode;
  return kTypeUnknown;
}

TEST_F(ContentImageTest, EveryPlantedFileHasItsRecord) {
  const std::vector<uint64_t> offered = ScanAll();
  const auto found = BySector();
  EXPECT_EQ(m_found, m_engine.GetRecordCount());
  EXPECT_EQ(found.size(), m_engine.GetRecordCount());
  for (size_t i = 0; i < s_files.size(); ++i) {
    const PlantedFile& f = s_files[i];
    SCOPED_TRACE(f.name);
    const uint64_t sector = f.offset / 512;
    auto it = found.find(sector);
    ASSERT_NE(it, found.end());
    const ScanRecord& r = it->second;
    const std::string name(r.Name());
    const std::string ext = name.substr(name.find('.') + 1);
    EXPECT_EQ(name, std::to_string(sector) + "." + ext);
    EXPECT_EQ(TypeCodeOfExtension(ext), f.typeCode);
    EXPECT_EQ(r.SourceKey(), u'I');
    EXPECT_EQ(r.Engine(), EngineCode::kContent);
    EXPECT_EQ(r.ContentCheck(), 1u);
    EXPECT_EQ(r.ClusterBytes(), 0xFFFFFFFFu);
    EXPECT_EQ(r.FileSize(), SizeByRule(s_files, i, s_image));
    // The next sector offered after the find follows the step rule.
    auto next = std::upper_bound(offered.begin(), offered.end(), sector);
    ASSERT_NE(next, offered.end());
    EXPECT_EQ(*next, sector + SectorsToStep(f.typeCode, r.FileSize(), 512));
  }
}

TEST_F(ContentImageTest, RecoveryReproducesThePlantedFiles) {
  ScanAll();
  const auto found = BySector();
  CopyLog log;
  m_engine.SetProgressCallback(nullptr, OnCopy, &log, 100);
  int whole = 0;
  for (const PlantedFile& f : s_files) {
    SCOPED_TRACE(f.name);
    const ScanRecord& r = found.at(f.offset / 512);
    const fs::path target = m_folder / "recovered" / std::string(r.Name());
    log.calls.clear();
    ASSERT_EQ(m_engine.RecoverRecord(r, target, 0), kOk);
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(log.calls.back(), std::make_pair(100, 0));
    const auto copied = ReadAll(target);
    // A file whose structure was walked to its end is copied at its own
    // length; any other at the sizer's.
    const CarvedVerdict verdict = m_engine.CarvedVerdictOf(r);
    ASSERT_EQ(copied.size(), RecoveredLength(verdict, r.FileSize()));
    if (verdict.condition == CarvedCondition::kComplete) {
      EXPECT_EQ(copied.size(), f.size);
    }
    if (copied.size() < f.size) continue;  // the rule ends this one early
    // Where the rule gives the whole file, the copy is the file; where it
    // runs on, the file is its beginning.
    EXPECT_EQ(test::Sha256Hex(std::span<const uint8_t>(copied).first(f.size)), f.sha256);
    whole += copied.size() == f.size;
  }
  // Since the check, the pictures and documents that run on to the next
  // start (PSD, TIFF) come back whole too.
  EXPECT_GE(whole, 17);
}

TEST_F(ContentImageTest, FlatListingAndSearchByExtension) {
  ScanAll();
  const RecordList list = List();
  ASSERT_EQ(list.size(), m_engine.GetRecordCount());
  uint32_t count = 0;
  ASSERT_EQ(m_engine.CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, list.size());
  // Names in order without case.
  for (size_t i = 1; i < list.size(); ++i)
    EXPECT_LE(std::string(list[i - 1].Name()), std::string(list[i].Name()));
  // No folders: below any record, or at a depth, there is nothing.
  RecordList below{list[0]};
  EXPECT_EQ(m_engine.ListChildren(&list[0], 0, below), kOk);
  EXPECT_TRUE(below.empty());
  EXPECT_EQ(m_engine.ListChildren(nullptr, 1, below), kOk);
  EXPECT_TRUE(below.empty());
  EXPECT_EQ(m_engine.CountFiles(&list[0], 0, count), kOk);
  EXPECT_EQ(count, 0u);

  RecordList out;
  ASSERT_EQ(m_engine.Search("*.jpg|*.png", out), kOk);
  std::set<std::string> names;
  for (const ScanRecord& r : out) names.insert(std::string(r.Name()));
  std::set<std::string> expected;
  for (const ScanRecord& r : list) {
    const std::string n(r.Name());
    if (n.ends_with(".jpg") || n.ends_with(".png")) expected.insert(n);
  }
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(names.count(std::to_string(434688 / 512) + ".jpg"));
  EXPECT_TRUE(names.count(std::to_string(449024 / 512) + ".png"));
}

TEST_F(ContentImageTest, ExistingLogIsLoadedAgain) {
  ScanAll();
  const RecordList before = List();
  const fs::path log = m_engine.Store()->RecordPath();

  CFileTypeRecovery again;
  again.SetScanLogFolder(m_folder / "elsewhere");
  ASSERT_EQ(again.OpenImage(test::FixturePath("content.img"), u'I'), kOk);
  EXPECT_EQ(again.GetRecordCount(), 0u);
  const fs::path name = log.filename();
  again.SetScanLogFolder(log.parent_path());
  ASSERT_EQ(again.Scan(&name), kOk);  // Scan with the name of an existing log loads it
  EXPECT_EQ(again.GetRecordCount(), before.size());
  RecordList after;
  ASSERT_EQ(again.ListChildren(nullptr, 0, after), kOk);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].Name(), before[i].Name());

  // The coordinator's resume: the log named at open; new finds follow.
  CFileTypeRecovery resumed;
  resumed.SetScanLogFolder(log.parent_path());
  ASSERT_EQ(resumed.OpenForImage(512, name, u'I', test::FixturePath("content.img")), kOk);
  EXPECT_EQ(resumed.GetRecordCount(), before.size());
  uint64_t step = 0, files = 0;
  const uint64_t jpeg = 434688 / 512;
  ASSERT_EQ(resumed.RecordFoundFile(std::span<const uint8_t>(s_image).subspan(jpeg * 512, 512),
                                    jpeg, Position{}, step, files),
            kOk);
  EXPECT_EQ(resumed.GetRecordCount(), before.size() + 1);
  uint32_t count = 0;
  ASSERT_EQ(resumed.CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, before.size() + 1);
}

}  // namespace
}  // namespace brinvale
