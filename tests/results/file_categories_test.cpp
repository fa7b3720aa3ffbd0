#include "results/file_categories.h"

#include <gtest/gtest.h>

namespace brinvale {
namespace {

TEST(ExtensionOf, TextAfterTheLastDotLowered) {
  EXPECT_EQ(ExtensionOf("IMG_0001.JPG"), "jpg");
  EXPECT_EQ(ExtensionOf("archive.tar.GZ"), "gz");
  EXPECT_EQ(ExtensionOf("README"), "");
  EXPECT_EQ(ExtensionOf("name."), "");
  EXPECT_EQ(ExtensionOf(".profile"), "profile");
  EXPECT_EQ(ExtensionOf("dir.v2/file"), "v2/file") << "a name, not a path";
  // Only ASCII letters change; UTF-8 bytes pass as they are.
  EXPECT_EQ(ExtensionOf("x.\xC3\x89T\xC3\xA9"), "\xC3\x89t\xC3\xA9");
}

TEST(InList, SubstringOfTheListText) {
  EXPECT_TRUE(InList("jpg", kPhotoList));
  EXPECT_TRUE(InList("jpeg", kPhotoList));
  EXPECT_TRUE(InList("jp", kPhotoList)) << "a fragment of jpg counts";
  EXPECT_FALSE(InList("qqq", kPhotoList));
  EXPECT_TRUE(InList("doc", kDocumentList));
  EXPECT_TRUE(InList("ocx", kDocumentList)) << "found inside *.docx";
  EXPECT_FALSE(InList("jpg", kAudioList));
}

TEST(InList, EmptyExtensionIsInNoList) {
  for (std::string_view list :
       {kPhotoList, kAudioList, kVideoList, kDocumentList, kArchiveList, kPreviewDocumentList}) {
    EXPECT_FALSE(InList("", list));
  }
  EXPECT_FALSE(InList(ExtensionOf("Makefile"), KnownExtensionText()));
}

TEST(InList, RmIsAudioAndVideoRmvbOnlyVideo) {
  EXPECT_TRUE(InList("rm", kAudioList));
  EXPECT_TRUE(InList("rm", kVideoList));
  EXPECT_FALSE(InList("rmvb", kAudioList));
  EXPECT_TRUE(InList("rmvb", kVideoList));
}

TEST(KnownExtensionText, JoinsPhotoAudioDocumentVideoArchive) {
  const std::string& text = KnownExtensionText();
  EXPECT_EQ(text.size(), kPhotoList.size() + kAudioList.size() + kDocumentList.size() +
                             kVideoList.size() + kArchiveList.size() + 4);
  const size_t photo = text.find(kPhotoList);
  const size_t audio = text.find(kAudioList);
  const size_t document = text.find(kDocumentList);
  const size_t video = text.find(kVideoList);
  const size_t archive = text.find(kArchiveList);
  EXPECT_EQ(photo, 0u);
  EXPECT_EQ(audio, photo + kPhotoList.size() + 1);
  EXPECT_EQ(document, audio + kAudioList.size() + 1);
  EXPECT_EQ(video, document + kDocumentList.size() + 1);
  EXPECT_EQ(archive, video + kVideoList.size() + 1);
  EXPECT_EQ(text[audio - 1], '|');
  EXPECT_TRUE(text.ends_with("*.jar|*.iso"));
  EXPECT_FALSE(InList("qqq", text));
  EXPECT_TRUE(InList("lrv", text));
}

TEST(Lists, EveryPatternIsStarDotExtension) {
  for (std::string_view list :
       {kPhotoList, kAudioList, kVideoList, kDocumentList, kArchiveList, kPreviewDocumentList}) {
    size_t count = 0;
    for (size_t at = 0; at <= list.size();) {
      size_t bar = list.find('|', at);
      if (bar == std::string_view::npos) bar = list.size();
      std::string_view pattern = list.substr(at, bar - at);
      EXPECT_TRUE(pattern.starts_with("*.") && pattern.size() > 2) << pattern;
      ++count;
      at = bar + 1;
    }
    EXPECT_GT(count, 10u);
  }
}

TEST(RecoveryCategory, FolderByFirstListThatHoldsTheExtension) {
  EXPECT_EQ(CategoryFolderName("a.jpg"), "photo");
  EXPECT_EQ(CategoryFolderName("clip.RM"), "audio") << "audio is tested before video";
  EXPECT_EQ(CategoryFolderName("clip.rmvb"), "video");
  EXPECT_EQ(CategoryFolderName("notes.txt"), "document");
  EXPECT_EQ(CategoryFolderName("disk.iso"), "archive");
  EXPECT_EQ(CategoryFolderName("data.xyz"), "others");
  EXPECT_EQ(CategoryFolderName("song.mp3"), "audio");
  EXPECT_EQ(CategoryFolderName("movie.MKV"), "video");
  // Fragments match the first list holding them: "m" is in "*.mef" of photo.
  EXPECT_EQ(CategoryFolderName("x.jp"), "photo");
  EXPECT_EQ(CategoryFolderName("x.m"), "photo");
}

TEST(RecoveryCategory, NameWithoutExtensionIsOther) {
  EXPECT_EQ(RecoveryCategoryOf("README"), FileCategory::kOther);
  EXPECT_EQ(RecoveryCategoryOf("trailing."), FileCategory::kOther);
  EXPECT_EQ(CategoryFolderName("README"), "others");
}

TEST(RecoveryCategory, EnumFolderNamesAndLists) {
  EXPECT_EQ(CategoryFolderName(FileCategory::kPhoto), "photo");
  EXPECT_EQ(CategoryFolderName(FileCategory::kAudio), "audio");
  EXPECT_EQ(CategoryFolderName(FileCategory::kVideo), "video");
  EXPECT_EQ(CategoryFolderName(FileCategory::kDocument), "document");
  EXPECT_EQ(CategoryFolderName(FileCategory::kArchive), "archive");
  EXPECT_EQ(CategoryFolderName(FileCategory::kOther), "others");
  EXPECT_EQ(CategoryListText(FileCategory::kVideo), kVideoList);
  EXPECT_TRUE(CategoryListText(FileCategory::kOther).empty());
}

TEST(PreviewDocumentList, DocumentsAndArchivesButNoMedia) {
  EXPECT_TRUE(InList("docx", kPreviewDocumentList));
  EXPECT_TRUE(InList("rtf", kPreviewDocumentList));
  EXPECT_TRUE(InList("7z", kPreviewDocumentList));
  EXPECT_FALSE(InList("txt", kPreviewDocumentList));
  EXPECT_FALSE(InList("jpg", kPreviewDocumentList));
  EXPECT_FALSE(InList("mp4", kPreviewDocumentList));
}

}  // namespace
}  // namespace brinvale
