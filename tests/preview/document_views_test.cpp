#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <chrono>
#include <fstream>

#include "common/error_codes.h"
#include "platform/text.h"
#include "preview/document_view_factory.h"
#include "preview/office_view.h"
#include "preview/pdf_view.h"
#include "preview/preview_text.h"
#include "preview/zip_view.h"
#include "preview_files.h"

namespace brinvale::preview {
namespace {

namespace fs = std::filesystem;
using test::DamagedCopies;
using test::PreviewBytes;
using test::PreviewFile;

QString Q(const fs::path& path) { return QString::fromStdString(platform::PathToUtf8(path)); }

TEST(CPDF, DrawsTheFirstPageIntoTmpJpg) {
  brinvale::test::TempDir folder("pdf-view");
  CPDF view(folder.Path());
  QString text;
  fs::path picture;
  ASSERT_EQ(view.Convert(PreviewFile("page.pdf"), text, picture), kOk);
  EXPECT_EQ(picture, folder.Path() / "tmp.jpg");
  const QImage page(Q(picture));
  ASSERT_FALSE(page.isNull());
  // 200 x 100 points drawn 1000 pixels wide.
  EXPECT_EQ(page.width(), CPDF::kPageSide);
  EXPECT_EQ(page.height(), CPDF::kPageSide / 2);
  // The red box fills the middle, the blue one sits inside it, the corner
  // is white (the page's y axis points up).
  const QColor red = page.pixelColor(150, 250);
  EXPECT_GT(red.red(), 200);
  EXPECT_LT(red.green(), 60);
  const QColor blue = page.pixelColor(300, 250);
  EXPECT_GT(blue.blue(), 200);
  EXPECT_LT(blue.red(), 60);
  EXPECT_GT(page.pixelColor(5, 5).lightness(), 240);
}

TEST(CPDF, WhatPopplerCannotOpenFailsAndLeavesNoOldPage) {
  brinvale::test::TempDir folder("pdf-bad");
  CPDF view(folder.Path());
  QString text;
  fs::path picture;
  ASSERT_EQ(view.Convert(PreviewFile("page.pdf"), text, picture), kOk);
  EXPECT_EQ(view.Convert(PreviewFile("letter.docx"), text, picture), kErrInvalidParameter);
  EXPECT_TRUE(picture.empty());
  EXPECT_FALSE(fs::exists(folder.Path() / "tmp.jpg")) << "the last preview's page is gone";
}

TEST(CPDF, DamagedPdfsNeverCrashOrHang) {
  brinvale::test::TempDir folder("pdf-damaged");
  CPDF view(folder.Path());
  const auto start = std::chrono::steady_clock::now();
  int drawn = 0;
  for (const std::vector<uint8_t>& copy : DamagedCopies(PreviewBytes("page.pdf"))) {
    brinvale::test::WriteFileBytes(folder.Path() / "in.pdf", copy);
    QString text;
    fs::path picture;
    const int rc = view.Convert(folder.Path() / "in.pdf", text, picture);
    EXPECT_TRUE(rc == kOk || rc == kErrInvalidParameter);
    drawn += rc == kOk;
  }
  EXPECT_GT(drawn, 0) << "poppler repairs some damage";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(OfficeViews, TakeTextByContainerNotByName) {
  DocumentViewSettings settings;
  settings.soffice = QStringLiteral("/nonexistent/soffice");
  QString text;
  fs::path picture;
  EXPECT_EQ(CWord(settings).Convert(PreviewFile("letter.docx"), text, picture), kOk);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Dear reader,")));
  EXPECT_EQ(CWord(settings).Convert(PreviewFile("letter.odt"), text, picture), kOk);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Minutes")));
  EXPECT_EQ(CWord(settings).Convert(PreviewFile("letter.rtf"), text, picture), kOk);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Caf\u00e9 menu")));
  EXPECT_EQ(CPPT(settings).Convert(PreviewFile("slides.pptx"), text, picture), kOk);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Slide 1 title")));
  EXPECT_EQ(CExcel(settings).Convert(PreviewFile("sheet.xlsx"), text, picture), kOk);
  EXPECT_EQ(text, QStringLiteral("Quarter\nRevenue\n"));
  EXPECT_TRUE(picture.empty());
  // No converter installed: a legacy file is not converted.
  EXPECT_EQ(CWord(settings).Convert(PreviewFile("letter.doc"), text, picture), kErrFileNotFound);
  EXPECT_EQ(CWord(settings).Convert(PreviewFile("page.pdf"), text, picture), kErrInvalidParameter);
}

// A stand-in for LibreOffice's converter: a script that writes what the
// real one would (or hangs, or fails) and notes its arguments.
class StandInConverter {
 public:
  explicit StandInConverter(const std::string& body) : m_dir("soffice") {
    m_script = m_dir.Path() / "soffice";
    std::ofstream(m_script) << "#!/bin/sh\necho \"$@\" > '" << (m_dir.Path() / "args").string()
                            << "'\n" << body << "\n";
    fs::permissions(m_script, fs::perms::owner_all);
  }
  QString Path() const { return Q(m_script); }
  std::string Args() const {
    std::ifstream in(m_dir.Path() / "args");
    std::string line;
    std::getline(in, line);
    return line;
  }

 private:
  brinvale::test::TempDir m_dir;
  fs::path m_script;
};

TEST(OfficeViews, LegacyFilesGoThroughTheConverterIntoOdf) {
  // The stand-in "converts" by copying the ODF fixture to the out folder.
  StandInConverter converter(
      "while [ $# -gt 1 ]; do [ \"$1\" = --outdir ] && out=$2; shift; done\n"
      "cp '" + PreviewFile("letter.odt").string() + "' \"$out/letter.odt\"");
  DocumentViewSettings settings;
  settings.soffice = converter.Path();
  QString text;
  fs::path picture;
  ASSERT_EQ(CWord(settings).Convert(PreviewFile("letter.doc"), text, picture), kOk);
  EXPECT_TRUE(text.startsWith(QStringLiteral("Minutes")));
  const std::string args = converter.Args();
  EXPECT_NE(args.find("--headless"), std::string::npos) << args;
  EXPECT_NE(args.find("--convert-to odt"), std::string::npos) << args;
  EXPECT_NE(args.find("-env:UserInstallation=file://"), std::string::npos) << args;
  EXPECT_NE(args.find(PreviewFile("letter.doc").string()), std::string::npos) << args;
}

TEST(OfficeViews, AHangingConverterIsKilledByTheWatchdog) {
  StandInConverter converter("exec sleep 30");
  DocumentViewSettings settings;
  settings.soffice = converter.Path();
  settings.conversionTimeoutMs = 300;
  QString text;
  fs::path picture;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CWord(settings).Convert(PreviewFile("letter.doc"), text, picture), 1460);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(OfficeViews, AConverterThatMakesNothingFails) {
  StandInConverter converter("exit 1");
  DocumentViewSettings settings;
  settings.soffice = converter.Path();
  QString text;
  fs::path picture;
  EXPECT_EQ(CExcel(settings).Convert(PreviewFile("letter.doc"), text, picture),
            kErrInvalidParameter);
}

TEST(MakeDocumentView, OneViewPerKind) {
  DocumentViewSettings settings;
  EXPECT_EQ(MakeDocumentView(DocumentViewKind::kNone, settings), nullptr);
  EXPECT_NE(dynamic_cast<CWord*>(MakeDocumentView(DocumentViewKind::kWord, settings).get()), nullptr);
  EXPECT_NE(dynamic_cast<CPPT*>(MakeDocumentView(DocumentViewKind::kPowerPoint, settings).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<CExcel*>(MakeDocumentView(DocumentViewKind::kExcel, settings).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<CPDF*>(MakeDocumentView(DocumentViewKind::kPdf, settings).get()), nullptr);
  EXPECT_NE(dynamic_cast<CZIP*>(MakeDocumentView(DocumentViewKind::kArchive, settings).get()),
            nullptr);
}

TEST(PreviewText, Utf8OrWesternBytesWithControlsAsDots) {
  const std::vector<uint8_t> utf8 = {'C', 'a', 'f', 0xC3, 0xA9, '\n', 0, 7};
  EXPECT_EQ(BytesAsText(utf8), QStringLiteral("Caf\u00e9\n.."));
  const std::vector<uint8_t> western = {'C', 'a', 'f', 0xE9, ' ', 0x80};
  EXPECT_EQ(BytesAsText(western), QStringLiteral("Caf\u00e9 \u20ac"));
  EXPECT_EQ(FileHeadText(PreviewFile("bomb.zip")).size() > 0, true);
  EXPECT_LE(FileHeadText(PreviewFile("bomb.zip")).size(), 8192);
  EXPECT_EQ(FileHeadText(PreviewFile("letter.rtf"), 5), QStringLiteral("{\\rtf"));
}

}  // namespace
}  // namespace brinvale::preview
