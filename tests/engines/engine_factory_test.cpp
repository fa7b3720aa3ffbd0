#include "engines/engine_factory.h"

#include <gtest/gtest.h>

#include <vector>

#include "engines/ext/fast_ext_recovery.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/professional_recovery.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

// A history with no earlier scans that records nothing.
class EmptyHistory final : public IScanHistory {
 public:
  bool FindPartitionEntry(uint32_t, uint64_t, uint64_t, uint64_t, ScanHistoryEntry&) override {
    return false;
  }
  bool FindImageEntry(const std::filesystem::path&, uint64_t, ScanHistoryEntry&) override {
    return false;
  }
  bool FindImagePartitionEntry(const std::filesystem::path&, uint64_t, uint64_t, uint64_t,
                               ScanHistoryEntry&) override {
    return false;
  }
  int RecordScan(uint32_t, uint64_t, uint64_t, uint64_t, const ResumePoint&,
                 const std::filesystem::path&, const std::filesystem::path&) override {
    return kOk;
  }
  int ForgetFolder(const std::filesystem::path&) override { return kOk; }
  void BeginNewFolder() override {}
  void TakeBackFolder() override {}
  std::filesystem::path CurrentFolder() const override { return {}; }
};

EngineSetup FactorySetup() {
  static EmptyHistory history;
  EngineSetup setup;
  setup.history = &history;
  return setup;
}

// The engine classes the factory hands out.
enum class EngineClass { kNone, kFastExt, kFastFat, kFastNtfs, kProfessional, kOther };

EngineClass ClassOf(const IRidiRedazuvoParse* engine) {
  if (engine == nullptr) return EngineClass::kNone;
  if (dynamic_cast<const CFastExtRecovery*>(engine) != nullptr) return EngineClass::kFastExt;
  if (dynamic_cast<const CFastFatRecovery*>(engine) != nullptr) return EngineClass::kFastFat;
  if (dynamic_cast<const CFastNtfsRecovery*>(engine) != nullptr) return EngineClass::kFastNtfs;
  if (dynamic_cast<const CProfessionalRecovery*>(engine) != nullptr)
    return EngineClass::kProfessional;
  return EngineClass::kOther;
}

// The factory table: a quick engine per recognised file system; in full
// mode the coordinator for every volume, recognised or not.
struct FactoryRow {
  const char* sample;
  ScanMode mode;
  EngineClass expected;
};

// clang-format off
constexpr FactoryRow kFactoryTable[] = {
  // sample               mode              engine
  { "recog_fat12.bin",    ScanMode::kQuick, EngineClass::kFastFat  },
  { "recog_fat32.bin",    ScanMode::kQuick, EngineClass::kFastFat  },
  { "sample.img",         ScanMode::kQuick, EngineClass::kFastFat  },
  { "recog_ntfs.bin",     ScanMode::kQuick, EngineClass::kFastNtfs },
  { "recog_ext4.bin",     ScanMode::kQuick, EngineClass::kFastExt },
  { "recog_ext4_4k.bin",  ScanMode::kQuick, EngineClass::kFastExt },
  { "recog_fat16.bin",    ScanMode::kFull,  EngineClass::kProfessional },
  { "recog_ntfs.bin",     ScanMode::kFull,  EngineClass::kProfessional },
  { "recog_ext4.bin",     ScanMode::kFull,  EngineClass::kProfessional },
};
// clang-format on

TEST(CreateEngineForImage, FollowsTheFactoryTable) {
  for (const FactoryRow& row : kFactoryTable) {
    SCOPED_TRACE(std::string(row.sample) + (row.mode == ScanMode::kQuick ? " quick" : " full"));
    const auto path = test::FixturePath(row.sample);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    auto engine = CreateEngineForImage(path, u'X', row.mode, FactorySetup());
    EXPECT_EQ(ClassOf(engine.get()), row.expected);
  }
}

TEST(CreateEngineForImage, UnrecognisedImageGivesNullInQuickModeAndTheCoordinatorInFull) {
  test::TempFile zeros("zeros.img");
  test::WriteFileBytes(zeros.Path(), std::vector<uint8_t>(65536, 0));
  EXPECT_EQ(CreateEngineForImage(zeros.Path(), u'X', ScanMode::kQuick, FactorySetup()), nullptr);
  EXPECT_EQ(ClassOf(CreateEngineForImage(zeros.Path(), u'X', ScanMode::kFull, FactorySetup()).get()),
            EngineClass::kProfessional);
}

TEST(CreateEngineForImage, ImageShorterThan16KiBGivesNull) {
  // The head of a real ext4 volume, which gives an engine when whole.
  std::vector<uint8_t> head = test::ReadFileBytes(test::FixturePath("recog_ext4.bin"));
  ASSERT_GE(head.size(), kRecognitionBytes);
  head.resize(kRecognitionBytes);
  test::TempFile image("short.img");
  test::WriteFileBytes(image.Path(), head);
  EXPECT_EQ(ClassOf(CreateEngineForImage(image.Path(), u'X', ScanMode::kQuick, FactorySetup()).get()),
            EngineClass::kFastExt);
  head.resize(kRecognitionBytes - 1);
  test::WriteFileBytes(image.Path(), head);
  for (ScanMode mode : {ScanMode::kQuick, ScanMode::kFull})
    EXPECT_EQ(CreateEngineForImage(image.Path(), u'X', mode, FactorySetup()), nullptr);
  test::WriteFileBytes(image.Path(), {});
  EXPECT_EQ(CreateEngineForImage(image.Path(), u'X', ScanMode::kQuick, FactorySetup()), nullptr);
}

TEST(CreateEngineForImage, MissingImageGivesNull) {
  EXPECT_EQ(CreateEngineForImage("/nonexistent/brinvale.img", u'X', ScanMode::kQuick, FactorySetup()),
            nullptr);
}

TEST(CreateEngineForPartition, MissingDiskGivesNull) {
  EXPECT_EQ(CreateEngineForPartition(-1, 0, 100, 0, ScanMode::kQuick, FactorySetup()), nullptr);
  EXPECT_EQ(CreateEngineForPartition(100000, 0, 100, 0, ScanMode::kQuick, FactorySetup()), nullptr);
}

TEST(MakeEngine, UnrecognisedVolumeHasNoQuickEngine) {
  EXPECT_EQ(MakeEngine(VolumeKind::kUnknown, ScanMode::kQuick, FactorySetup()), nullptr);
  EXPECT_EQ(ClassOf(MakeEngine(VolumeKind::kExt, ScanMode::kQuick, FactorySetup()).get()),
            EngineClass::kFastExt);
  EXPECT_EQ(ClassOf(MakeEngine(VolumeKind::kFat, ScanMode::kQuick, FactorySetup()).get()),
            EngineClass::kFastFat);
}

TEST(MakeEngine, FullModeNeedsAHistory) {
  EXPECT_EQ(MakeEngine(VolumeKind::kFat, ScanMode::kFull, EngineSetup{}), nullptr);
  EXPECT_EQ(ClassOf(MakeEngine(VolumeKind::kFat, ScanMode::kFull, FactorySetup()).get()),
            EngineClass::kProfessional);
}

TEST(CreateEngineForImage, QuickEngineKeepsItsLogsInTheFolderItWasGiven) {
  test::TempDir logs("factory_logs");
  EngineSetup setup = FactorySetup();
  setup.logFolder = logs.Path() / "7";
  auto engine =
      CreateEngineForImage(test::FixturePath("sample.img"), u'X', ScanMode::kQuick, setup);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(engine->Scan(nullptr), kOk);
  std::error_code ec;
  EXPECT_FALSE(std::filesystem::is_empty(setup.logFolder, ec));
  EXPECT_FALSE(ec) << ec.message();

  // Without a folder the engine has nowhere to keep its log and says so.
  auto lost =
      CreateEngineForImage(test::FixturePath("sample.img"), u'X', ScanMode::kQuick, FactorySetup());
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(lost->Scan(nullptr), kErrInvalidParameter);
}

}  // namespace
}  // namespace brinvale
