#include "results/name_fit.h"

#include <gtest/gtest.h>

#include <string>

namespace brinvale {
namespace {

// `count` CJK characters from U+4E00 on: three UTF-8 bytes, one UTF-16 unit each.
std::string Cjk(size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    const unsigned c = 0x4E00 + unsigned(i);
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
  return out;
}

bool IsWholeUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

TEST(TargetLength, CountsBytesOnPosixAndUtf16UnitsOnWindows) {
  EXPECT_EQ(TargetLength(Cjk(86), TargetSystem::kPosix), 258u);
  EXPECT_EQ(TargetLength(Cjk(86), TargetSystem::kWindows), 86u);
  EXPECT_EQ(TargetLength("\xF0\x9F\x93\xB7.jpg", TargetSystem::kWindows), 6u);  // a surrogate pair
  EXPECT_EQ(TargetLength("\xE4\xB8", TargetSystem::kWindows), 2u);  // a cut sequence: two bytes
  EXPECT_EQ(LimitsOf(TargetSystem::kPosix).name, 255u);
  EXPECT_EQ(LimitsOf(TargetSystem::kWindows).name, 255u);
}

TEST(FitFileName, EightySixCjkCharactersAreCutAtACharacterBoundaryOnPosix) {
  // Legal on FAT and NTFS (86 UTF-16 units), 258 bytes in UTF-8.
  const std::string fitted = FitFileName(Cjk(86), 255, TargetSystem::kPosix);
  EXPECT_EQ(fitted, Cjk(85));
  EXPECT_TRUE(IsWholeUtf8(fitted));
  // Windows counts UTF-16 units: the name fits as it is.
  EXPECT_EQ(FitFileName(Cjk(86), 255, TargetSystem::kWindows), Cjk(86));
}

TEST(FitFileName, KeepsTheExtension) {
  const std::string name = Cjk(84) + ".txt";  // 256 bytes
  EXPECT_EQ(FitFileName(name, 255, TargetSystem::kPosix), Cjk(83) + ".txt");
  EXPECT_EQ(FitFileName(std::string(300, 'a') + ".jpeg", 255, TargetSystem::kWindows),
            std::string(250, 'a') + ".jpeg");
  // Names that fit stay as they are.
  EXPECT_EQ(FitFileName("photo.jpg", 255, TargetSystem::kPosix), "photo.jpg");
}

TEST(FitFileName, NeverSplitsASurrogatePair) {
  const std::string camera = "\xF0\x9F\x93\xB7";  // U+1F4F7: four bytes, two UTF-16 units
  std::string name;
  for (int i = 0; i < 200; ++i) name += camera;
  const std::string fitted = FitFileName(name, 255, TargetSystem::kWindows);
  EXPECT_EQ(TargetLength(fitted, TargetSystem::kWindows), 254u);  // 127 pairs; 255 would split one
  EXPECT_TRUE(IsWholeUtf8(fitted));
  EXPECT_EQ(FitFileName(name, 255, TargetSystem::kPosix).size(), 252u);  // 63 whole characters
}

TEST(FitFileName, AnExtensionLongerThanHalfTheRoomIsCutWithTheName) {
  const std::string name = "a." + std::string(300, 'x');
  const std::string fitted = FitFileName(name, 255, TargetSystem::kPosix);
  EXPECT_EQ(fitted.size(), 255u);
  EXPECT_EQ(fitted.substr(0, 3), "a.x");
}

TEST(FitFileName, AWindowsNameNeverEndsInADotOrBlankAfterTheCut) {
  const std::string name = std::string(254, 'a') + " b";
  EXPECT_EQ(FitFileName(name, 255, TargetSystem::kWindows), std::string(254, 'a') + "_");
  EXPECT_EQ(FitFileName(name, 255, TargetSystem::kPosix), std::string(254, 'a') + " ");
}

TEST(PartialFileName, SaysSoBeforeTheExtension) {
  EXPECT_EQ(PartialFileName("photo.jpg", 255, TargetSystem::kPosix), "photo.partial.jpg");
  EXPECT_EQ(PartialFileName("README", 255, TargetSystem::kPosix), "README.partial");
  // A long name gives room to the marker and keeps its extension.
  const std::string partial = PartialFileName(Cjk(84) + ".txt", 255, TargetSystem::kPosix);
  EXPECT_EQ(partial, Cjk(81) + ".partial.txt");
  EXPECT_LE(partial.size(), 255u);
}

}  // namespace
}  // namespace brinvale
