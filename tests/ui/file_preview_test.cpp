// The preview from the main window's file list: a folder row, a picture, a
// PDF, a document, an archive and a song, over an engine that copies real
// files out and a player that only notes what it is asked.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextImageFormat>
#include <chrono>
#include <map>

#include "main_wnd_support.h"
#include "platform/text.h"
#include "results/preview_target.h"
#include "ui/file_list_model.h"
#include "ui/media_player.h"

namespace brinvale::ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::FoundFile;
using test::MainWndHarness;

fs::path PreviewFile(const std::string& name) {
  return brinvale::test::FixturePath("preview") / name;
}
QString Message(const char* key) {
  return QString::fromStdString(test::ShippedTexts().Text("Messages", key));
}

// Lists its records and copies a file's bytes out as the engines do: to
// its preview target, or into the buffer.
class CopyingEngine : public test::ListedEngine {
 public:
  CopyingEngine(RecordList records, std::map<std::string, std::vector<uint8_t>> contents,
                fs::path folder, int& extractions)
      : ListedEngine(std::move(records)),
        m_contents(std::move(contents)),
        m_folder(std::move(folder)),
        m_extractions(extractions) {}
  int ExtractRecord(const ScanRecord& record, fs::path& path, uint8_t* buffer, uint64_t& size,
                    ExtractProgressCallback callback, void* user) override {
    ++m_extractions;
    const std::vector<uint8_t>& bytes = m_contents[std::string(record.Name())];
    if (callback && callback(user, 50, 0) != kOk) return kCancelled;
    const fs::path target = PreviewTarget(record.Name(), m_folder);
    if (target.empty()) {
      size = std::min<uint64_t>(size, bytes.size());
      std::copy_n(bytes.begin(), size, buffer);
      return kOk;
    }
    brinvale::test::WriteFileBytes(target, bytes);
    path = target;
    return kOk;
  }

 private:
  std::map<std::string, std::vector<uint8_t>> m_contents;
  fs::path m_folder;
  int& m_extractions;
};

// Notes what the preview asks of its player.
struct PlayerLog {
  std::vector<std::string> calls;
  Clock::time_point lastStop;
  Clock::time_point lastPlay;
  QString path;
  bool audio = false;
  std::function<void()> fail;
};
class FakePlayer : public IMediaPlayer {
 public:
  explicit FakePlayer(PlayerLog& log) : m_log(log) {}
  bool Play(const QString& path, bool audio, const QString& title) override {
    m_log.calls.push_back("play " + title.toStdString());
    m_log.lastPlay = Clock::now();
    m_log.path = path;
    m_log.audio = audio;
    // The file is there to be played.
    EXPECT_TRUE(fs::exists(platform::PathFromUtf8(path.toStdString())));
    return true;
  }
  void Stop() override {
    m_log.calls.push_back("stop");
    m_log.lastStop = Clock::now();
  }
  void SetFailureHandler(std::function<void()> handler) override { m_log.fail = std::move(handler); }

 private:
  PlayerLog& m_log;
};

ScanRecord Folder(char16_t key, uint32_t number, const std::string& name) {
  ScanRecord r = FoundFile(key, number, name, 0);
  r.SetIsFolder(true);
  return r;
}

struct PreviewWindow {
  explicit PreviewWindow(const std::string& name) : h(name, test::DiskWithVolumes(u"E", true)) {
    records = {Folder(u'E', 1, "Docs"),
               FoundFile(u'E', 2, "song.mp3", 4000),
               FoundFile(u'E', 3, "page.pdf", 467),
               FoundFile(u'E', 4, "picture.png", 293),
               FoundFile(u'E', 5, "letter.docx", 1084),
               FoundFile(u'E', 6, "listing.zip", 4449),
               FoundFile(u'E', 7, "broken.jpg", 100),
               FoundFile(u'E', 8, "notes", 11),
               FoundFile(u'E', 9, "bad.pdf", 100)};
    std::map<std::string, std::vector<uint8_t>> contents;
    for (const char* file : {"page.pdf", "picture.png", "letter.docx", "listing.zip"})
      contents[file] = brinvale::test::ReadFileBytes(PreviewFile(file));
    contents["song.mp3"] = std::vector<uint8_t>(4000, 0xFF);
    contents["broken.jpg"] = std::vector<uint8_t>(100, 0x42);
    contents["bad.pdf"] = std::vector<uint8_t>(100, 0x42);
    contents["notes"] = {'p', 'l', 'a', 'i', 'n', ' ', 'n', 'o', 't', 'e', 's'};
    const fs::path folder = h.work.Path();
    h.services.makeEngine = [this, contents, folder](const ScanSource&, ScanMode,
                                                     const EngineSetup&) {
      return std::unique_ptr<IRidiRedazuvoParse>(
          new CopyingEngine(records, contents, folder, extractions));
    };
    h.services.preview.makePlayer = [this] { return std::make_unique<FakePlayer>(player); };
    h.services.preview.mediaWait = std::chrono::milliseconds(1000);
    h.Window();
    h.Click("BtnDeletedRecovery");
    h.Click("BtnScan");
    h.Window().FileListModel().SetRows(std::make_shared<RecordList>(records));
    windowsBefore = h.runner.windows.size();
  }
  // The windows shown since the scan.
  std::vector<QString> NewWindows() const {
    return {h.runner.windows.begin() + long(windowsBefore), h.runner.windows.end()};
  }
  // Double-clicks the row of `name`.
  void Open(const std::string& name) {
    CFileListModel& list = h.Window().FileListModel();
    for (int row = 0; row < list.rowCount(); ++row)
      if (list.RecordAt(row)->Name() == name) {
        auto* view = h.Find<QAbstractItemView>("FileList");
        emit view->doubleClicked(list.index(row, 0));
        return;
      }
    ADD_FAILURE() << name << " is not listed";
  }
  QTextBrowser* Edit() { return h.Find<QTextBrowser>("PreviewEdit"); }
  // The pictures the control holds.
  std::vector<QImage> Pictures() {
    std::vector<QImage> images;
    QTextDocument* doc = Edit()->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        if (f.isImageFormat())
          images.push_back(doc->resource(QTextDocument::ImageResource,
                                         QUrl(f.toImageFormat().name()))
                               .value<QImage>());
      }
    return images;
  }

  // The window, last, goes first: its player writes to the log as it goes.
  RecordList records;
  int extractions = 0;
  PlayerLog player;
  size_t windowsBefore = 0;
  MainWndHarness h;
};

TEST(FilePreview, AFolderRowSaysSoAndExtractsNothing) {
  PreviewWindow w("pv-folder");
  ASSERT_NE(w.Edit(), nullptr);
  w.Open("Docs");
  EXPECT_EQ(w.Edit()->toPlainText(), Message("MSG0904"));
  EXPECT_EQ(w.extractions, 0);
  EXPECT_TRUE(w.NewWindows().empty()) << "no preview window for a folder";
}

TEST(FilePreview, AFileOpensThePreviewWindowOverTheExtraction) {
  PreviewWindow w("pv-window");
  w.Open("notes");
  ASSERT_EQ(w.NewWindows(), std::vector<QString>{QStringLiteral("UIPreviewProcessWnd")});
  EXPECT_EQ(w.h.runner.sizes.back(), QSize(450, 250));
  EXPECT_EQ(w.extractions, 1);
  // Data the engine hands back instead of a file is shown as text.
  EXPECT_EQ(w.Edit()->toPlainText(), QStringLiteral("plain notes"));
}

TEST(FilePreview, AnMp3StopsThePlayerWaitsAndPlaysTheExtractedFile) {
  PreviewWindow w("pv-mp3");
  w.Open("song.mp3");
  ASSERT_EQ(w.player.calls, (std::vector<std::string>{"play song.mp3"}));
  EXPECT_TRUE(w.player.audio);
  EXPECT_EQ(fs::path(w.player.path.toStdString()).filename(), "tmp.avi");
  // Again: the running player stops first, and a second passes before the
  // next one starts.
  w.Open("song.mp3");
  ASSERT_EQ(w.player.calls,
            (std::vector<std::string>{"play song.mp3", "stop", "play song.mp3"}));
  EXPECT_GE(w.player.lastPlay - w.player.lastStop, std::chrono::milliseconds(1000));
  // A player that fails later says so.
  ASSERT_TRUE(w.player.fail);
  w.player.fail();
  ASSERT_EQ(w.h.runner.boxes.size(), 1u);
  EXPECT_EQ(w.h.runner.boxes[0].kind, 2);
  EXPECT_EQ(w.h.runner.boxes[0].text, Message("MSG1207").toStdString());
}

TEST(FilePreview, APdfRowWritesTmpJpgAndShowsIt) {
  PreviewWindow w("pv-pdf");
  w.Open("page.pdf");
  const fs::path page = w.h.work.Path() / "tmp.jpg";
  EXPECT_TRUE(fs::exists(page));
  const std::vector<QImage> pictures = w.Pictures();
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_LE(pictures[0].width(), w.Edit()->viewport()->width()) << "scaled to fit";
  EXPECT_NEAR(double(pictures[0].width()) / pictures[0].height(), 2.0, 0.05);
  // A PDF poppler cannot open is a picture that cannot be shown.
  w.Open("bad.pdf");
  EXPECT_TRUE(w.Pictures().empty()) << w.Edit()->toPlainText().toStdString();
  EXPECT_TRUE(w.Edit()->toPlainText().startsWith(Message("MSG0905")));
}

TEST(FilePreview, PicturesInlineAndThoseThatCannotLoadSaySo) {
  PreviewWindow w("pv-picture");
  w.Open("picture.png");
  const std::vector<QImage> pictures = w.Pictures();
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].size(), QSize(120, 80)) << "a small picture is not enlarged";
  const fs::path extracted = w.h.Window().Preview().State().extractedPath;
  EXPECT_EQ(extracted.filename(), "tmp.jpg");

  w.Open("broken.jpg");
  EXPECT_TRUE(w.Pictures().empty());
  EXPECT_EQ(w.Edit()->toPlainText(),
            Message("MSG0905") + QStringLiteral("\nCan not preview the picture!"));
}

TEST(FilePreview, DocumentsShowTheirTextAndArchivesTheirListing) {
  PreviewWindow w("pv-docs");
  w.Open("letter.docx");
  EXPECT_TRUE(w.Edit()->toPlainText().startsWith(QStringLiteral("Dear reader,")));
  const fs::path docx = w.h.Window().Preview().State().extractedPath;
  EXPECT_TRUE(fs::exists(docx));
  w.Open("listing.zip");
  EXPECT_TRUE(w.Edit()->toPlainText().contains(QStringLiteral("notes/readme.txt  31 Bytes")));
  EXPECT_FALSE(fs::exists(docx)) << "the previous extracted file is deleted first";
  const fs::path zip = w.h.Window().Preview().State().extractedPath;
  EXPECT_TRUE(fs::exists(zip));
  w.h.window.reset();
  EXPECT_FALSE(fs::exists(zip)) << "and the last one when the window goes";
}

}  // namespace
}  // namespace brinvale::ui
