#include "preview/office_text.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/error_codes.h"
#include "preview/rtf_text.h"
#include "preview_files.h"

namespace brinvale::preview {
namespace {

using test::DamagedCopies;
using test::PreviewBytes;
using test::PreviewFile;

QString TextOf(const char* file, qsizetype max = 2048) {
  QString text;
  EXPECT_EQ(OfficeDocumentText(PreviewFile(file), max, text), kOk) << file;
  return text;
}

TEST(OfficeDocumentText, TakesTheTextOfEachKindWithItsLinesAndTabs) {
  EXPECT_EQ(TextOf("letter.docx"), QStringLiteral("Dear reader,\nthe found letter\tends here.\n"));
  EXPECT_EQ(TextOf("sheet.xlsx"), QStringLiteral("Quarter\nRevenue\n"));
  EXPECT_EQ(TextOf("letter.odt"), QStringLiteral("Minutes\nOpen document\ttext.\n"));
}

TEST(OfficeDocumentText, SlidesComeInTheirNumberOrder) {
  EXPECT_EQ(TextOf("slides.pptx"),
            QStringLiteral("Slide 1 title\nSlide 2 title\nSlide 10 title\n"));
}

TEST(OfficeDocumentText, KeepsAtMostTheCharactersAsked) {
  EXPECT_EQ(TextOf("letter.docx", 6), QStringLiteral("Dear r"));
  const auto start = std::chrono::steady_clock::now();
  const QString bomb = TextOf("bomb.docx");
  EXPECT_EQ(bomb.size(), 2048);
  EXPECT_TRUE(bomb.startsWith(QStringLiteral("bombbomb")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(OfficeDocumentText, NoDocumentOrNoTextIsRefused) {
  QString text;
  EXPECT_EQ(OfficeDocumentText(PreviewFile("listing.zip"), 2048, text), kErrInvalidParameter);
  EXPECT_EQ(OfficeDocumentText(PreviewFile("page.pdf"), 2048, text), kErrInvalidParameter);
  EXPECT_TRUE(text.isEmpty());
}

TEST(OfficeDocumentText, DamagedDocumentsNeverCrashOrHang) {
  for (const char* file : {"letter.docx", "letter.odt", "slides.pptx", "sheet.xlsx"}) {
    SCOPED_TRACE(file);
    for (const std::vector<uint8_t>& copy : DamagedCopies(PreviewBytes(file))) {
      QString text;
      const int rc = OfficeDocumentTextBytes(copy, 2048, text);
      EXPECT_TRUE(rc == kOk || rc == kErrInvalidParameter);
      EXPECT_LE(text.size(), 2048);
    }
  }
}

TEST(XmlPartText, BrokenOrHostileXmlGivesTheTextBeforeTheDamage) {
  EXPECT_TRUE(XmlPartText("<w:p xmlns:w='x'><w:t>kept</w:t><w:t>lo", false, 100)
                  .startsWith(QStringLiteral("kept")));
  // Entities that expand without end are stopped by the reader's limit.
  QByteArray laughs = "<?xml version='1.0'?><!DOCTYPE t [<!ENTITY a 'aaaaaaaaaa'>";
  for (int i = 1; i < 10; ++i)
    laughs += QByteArray("<!ENTITY ") + char('a' + i) + " '" +
              QByteArray("&") + char('a' + i - 1) + ";" + "&" + char('a' + i - 1) + ";" +
              QByteArray("&") + char('a' + i - 1) + ";" + "'>";
  laughs += "]><t>&j;</t>";
  EXPECT_LE(XmlPartText(laughs, false, 2048).size(), 2048);
}

TEST(RtfText, DropsControlWordsAndTablesAndDecodesCharacters) {
  const std::vector<uint8_t> bytes = PreviewBytes("letter.rtf");
  const std::string text = RtfText(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                    bytes.size()),
                                   2048);
  EXPECT_EQ(text, "Caf\xC3\xA9 menu\nbold and {braces}\tend\xE2\x82\xAC\n");
}

TEST(RtfText, CutsAtTheLimitAndSurvivesDamage) {
  EXPECT_EQ(RtfText("{\\rtf1 abcdef}", 3), "abc");
  EXPECT_EQ(RtfText("{\\rtf1 {{{{{{{{{{{{ deep", 100), " deep");
  EXPECT_EQ(RtfText("\\", 10), "");
  EXPECT_EQ(RtfText("{\\rtf1 \\'4", 10), "4") << "a cut \\' escape is no character";
  EXPECT_EQ(RtfText("{\\rtf1 \\u-10179?\\u-8704?}", 10), "\xF0\x9F\x98\x80")
      << "a surrogate pair written as two negative \\u words";
  const std::vector<uint8_t> bytes = PreviewBytes("letter.rtf");
  for (const std::vector<uint8_t>& copy : DamagedCopies(bytes)) {
    const std::string text =
        RtfText(std::string_view(reinterpret_cast<const char*>(copy.data()), copy.size()), 50);
    EXPECT_LE(text.size(), 200u);
  }
}

}  // namespace
}  // namespace brinvale::preview
