#include "ui/disk_rights.h"

#include <gtest/gtest.h>

#include "common/error_codes.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

ScanSource PartitionOfDisk(int disk) {
  ScanSource source;
  VolumeInfo volume;
  volume.diskNumber = disk;
  volume.driveLetter = u'E';
  source.partition = volume;
  return source;
}

TEST(DiskRights, ARefusedDiskSaysHowToStartWithDiskRights) {
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  std::vector<int> opened;
  auto refuse = [&](int disk) {
    opened.push_back(disk);
    return kErrAccessDenied;
  };
  EXPECT_EQ(CheckDiskRights(PartitionOfDisk(2), context, nullptr, refuse), kErrAccessDenied);
  EXPECT_EQ(opened, std::vector<int>{2});
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, 0) << "an error box";
  const std::string text = presenter.shown[0].message.toStdString();
#if !defined(_WIN32)
  EXPECT_NE(text.find("brinvale-pkexec"), std::string::npos) << text;
#endif
  EXPECT_NE(text.find("images"), std::string::npos) << "images need no rights: " << text;
}

TEST(DiskRights, AReadableDiskOrAnotherFailureShowsNothing) {
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  EXPECT_EQ(CheckDiskRights(PartitionOfDisk(0), context, nullptr, [](int) { return kOk; }), kOk);
  EXPECT_EQ(
      CheckDiskRights(PartitionOfDisk(9), context, nullptr, [](int) { return kErrFileNotFound; }),
      kErrFileNotFound)
      << "a missing disk is another failure, reported where it is used";
  EXPECT_TRUE(presenter.shown.empty());
}

TEST(DiskRights, AnImageIsNeverOpenedAsADisk) {
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  ScanSource image = test::FixtureImage("sample.img", 1);
  bool opened = false;
  EXPECT_EQ(CheckDiskRights(image, context, nullptr,
                            [&](int) {
                              opened = true;
                              return kErrAccessDenied;
                            }),
            kOk);
  EXPECT_FALSE(opened);
  EXPECT_TRUE(presenter.shown.empty());
}

TEST(DiskRights, TheMessageNamesTheDevice) {
  EXPECT_NE(DiskRightsMessage("/dev/sdb").find("/dev/sdb"), std::string::npos);
}

}  // namespace
}  // namespace brinvale::ui
