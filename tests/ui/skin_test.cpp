#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

#include "ui/create_image_process_wnd.h"
#include "ui/custom_controls.h"
#include "ui/main_wnd.h"
#include "ui/message_box.h"
#include "ui/preview_process_wnd.h"
#include "ui/recover_process_wnd.h"
#include "ui/scan_process_wnd.h"
#include "ui/search_process_wnd.h"
#include "ui/skin_loader.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

TEST(SkinPath, LayoutsAreUiFilesAndOtherFilesKeepTheirNames) {
  EXPECT_EQ(SkinPath("xml\\ScanProcessWnd.xml"), ":/skin/xml/ScanProcessWnd.ui");
  EXPECT_EQ(SkinPath("xml/skin.xml"), ":/skin/xml/skin.ui");
  EXPECT_EQ(SkinPath("menu_assist.xml"), ":/skin/menu_assist.ui");
  EXPECT_EQ(SkinPath("FileIcon\\image_error.png"), ":/skin/FileIcon/image_error.png");
}

// Every window, built from its layout at its own size, finds every control
// it looks up, as the kind it uses it as, and its caption strip; and the
// layout fits that size.
TEST(SkinLayouts, EveryWindowFindsEveryControlItLooksUp) {
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  struct Made {
    std::unique_ptr<CPopUpWnd> window;
    QSize size;
  };
  std::vector<Made> windows;
  for (int kind = 0; kind <= 4; ++kind)
    windows.push_back({std::make_unique<CMessageBox>(context, kind, QStringLiteral("text")),
                       {CMessageBox::kWidth, CMessageBox::kHeight}});
  windows.push_back({std::make_unique<CScanProcessWnd>(context, ScanJobSetup{}),
                     {CScanProcessWnd::kWidth, CScanProcessWnd::kHeight}});
  windows.push_back({std::make_unique<CSearchProcessWnd>(context, SearchJobSetup{}),
                     {CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight}});
  windows.push_back({std::make_unique<CRecoverProcessWnd>(context, RecoveryJobSetup{}),
                     {CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight}});
  windows.push_back({std::make_unique<CCreateImageProcessWnd>(context, ImageJobSetup{}),
                     {CCreateImageProcessWnd::kWidth, CCreateImageProcessWnd::kHeight}});
  windows.push_back({std::make_unique<CPreviewProcessWnd>(context, PreviewJobSetup{}),
                     {CPreviewProcessWnd::kWidth, CPreviewProcessWnd::kHeight}});
  for (Made& made : windows) {
    CPopUpWnd& window = *made.window;
    const std::string file = window.GetSkinFile().toStdString();
    ASSERT_TRUE(QFile::exists(SkinPath(window.GetSkinFile()))) << file;
    // Built, never shown: no job starts.
    window.CreatePopUp(nullptr, made.size.width(), made.size.height());
    EXPECT_TRUE(window.MissingControls().isEmpty())
        << file << " lacks " << window.MissingControls().join(", ").toStdString();
    // Measured with texts in every label, as a running job leaves them.
    for (QLabel* label : window.findChildren<QLabel*>())
      if (label->pixmap().isNull()) label->setText("Progress: 100%");
    const QSize least = window.minimumSizeHint();
    EXPECT_LE(least.width(), made.size.width()) << file;
    EXPECT_LE(least.height(), made.size.height()) << file;
    EXPECT_EQ(window.size(), made.size) << file;
  }
}

constexpr ControlSpec kScanTextSpecs[] = {
    {"stage", ControlKind::kText}, {"time", ControlKind::kText}, {"progress", ControlKind::kText}};

// A window that looks up scan texts in the search window's layout, which
// has no time, sector or file counters.
class ScanOverSearchLayout : public CPopUpWnd {
 public:
  explicit ScanOverSearchLayout(const UiContext& c)
      : CPopUpWnd(c, "UIScanProcessWnd", "xml\\SearchProcessWnd.xml", "ScanWnd", kScanTextSpecs) {}
};

// A layout without some controls leaves them unset: nothing is reported
// and nothing breaks, but the window knows what it lacks.
TEST(SkinLayouts, AWindowOverAnotherLayoutKnowsWhatItLacks) {
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  ScanOverSearchLayout window(context);
  window.CreatePopUp(nullptr, 450, 250);
  EXPECT_EQ(window.MissingControls(), QStringList({"time", "progress"}))
      << "time is absent; progress is a bar, not a label";
  window.SetControlText("time", "Time left: 1 Sec");  // passed over
}

TEST(SkinLayouts, TheMainWindowTheMenuAndTheLikeItWindowLoad) {
  for (const char* file : {"xml\\skin.xml", "menu_assist.xml", "LikeItWnd.xml"}) {
    QWidget parent;
    EXPECT_NE(LoadSkinLayout(file, &parent), nullptr) << file;
  }
  QWidget parent;
  QWidget* menu = LoadSkinLayout("menu_assist.xml", &parent);
  ASSERT_NE(menu, nullptr);
  for (const char* item :
       {"item_help", "item_faq", "item_about", "item_support", "item_language", "item_exit"})
    EXPECT_NE(menu->findChild<QPushButton*>(item), nullptr) << item;
  EXPECT_EQ(LoadSkinLayout("xml\\NoSuchWnd.xml", &parent), nullptr);
}

TEST(SkinLoader, MakesTheCustomControlsANamedLayoutAsks) {
  QByteArray layout =
      "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"root\"><layout class=\"QVBoxLayout\">";
  for (const QString& name : CSkinLoader::CustomControlNames())
    layout +=
        "<item><widget class=\"" + name.toUtf8() + "\" name=\"the" + name.toUtf8() + "\"/></item>";
  layout += "</layout></widget><customwidgets>";
  for (const QString& name : CSkinLoader::CustomControlNames())
    layout += "<customwidget><class>" + name.toUtf8() +
              "</class><extends>QWidget</extends></customwidget>";
  layout += "</customwidgets></ui>";
  QBuffer buffer(&layout);
  buffer.open(QIODevice::ReadOnly);
  CSkinLoader loader;
  std::unique_ptr<QWidget> root(loader.load(&buffer));
  ASSERT_NE(root, nullptr) << loader.errorString().toStdString();
  EXPECT_NE(root->findChild<CDiskListUI*>("theCDiskListUI"), nullptr);
  EXPECT_NE(root->findChild<CFileTreeUI*>("theCFileTreeUI"), nullptr);
  EXPECT_NE(root->findChild<CListExUI*>("theCListExUI"), nullptr);
  EXPECT_NE(root->findChild<CButtonExUI*>("theCButtonExUI"), nullptr);
  EXPECT_NE(root->findChild<Pagination*>("thePagination"), nullptr);
  EXPECT_EQ(CSkinLoader::CustomControlNames().size(), 5);
}

TEST(SkinImages, TheFileIconsAndTheWorkflowsPicturesAreThere) {
  InitSkinResource();
  QStringList files = {"FileIcon/folder.png"};
  for (const char* base : {"exe", "image", "music", "doc", "video", "zip", "default"}) {
    files << QStringLiteral("FileIcon/%1.png").arg(base)
          << QStringLiteral("FileIcon/%1_error.png").arg(base);
  }
  files << "physical_drive.png"
        << "removable_drive.png"
        << "drive.png"
        << "drive_usb.png"
        << "image_files.png"
        << "image_file.png"
        << "btn_scan.png"
        << "btn_create_image.png"
        << "banner_bg.png"
        << "scan_files.png"
        << "checkbox.png"
        << "list_header_bg.png"
        << "list_header_asc.png"
        << "list_header_desc.png"
        << "point.png"
        << "logo.png";
  for (const QString& file : files) {
    const QImage image(SkinPath(file));
    EXPECT_FALSE(image.isNull()) << file.toStdString();
  }
  // The check box strip holds the clear and the ticked box where the list
  // takes them from (x 0-12 and 48-60, y 22-34).
  const QImage boxes(SkinPath("checkbox.png"));
  ASSERT_GE(boxes.width(), 60);
  ASSERT_GE(boxes.height(), 34);
  EXPECT_NE(boxes.pixel(6, 28), boxes.pixel(54, 28));
}

TEST(MainWnd, IsFreeBrinvaleAt800By500) {
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  CMainWnd window(context);
  EXPECT_EQ(window.windowTitle(), "Free Brinvale");
  EXPECT_EQ(window.size(), QSize(800, 500));
  EXPECT_EQ(window.objectName(), "RidiRedazuvoWnd");
  EXPECT_FALSE(window.windowIcon().isNull());
  window.CenterOnScreen();
  const QPoint screenCentre = window.screen()->availableGeometry().center();
  EXPECT_LE((window.geometry().center() - screenCentre).manhattanLength(), 2);
}

// The main layout holds every control the main window looks up, as the
// kind it uses it as.
TEST(MainWnd, TheMainLayoutHoldsEveryControlTheWindowUses) {
  QWidget parent;
  QWidget* form = LoadSkinLayout("xml\\skin.xml", &parent);
  ASSERT_NE(form, nullptr);
  for (const char* button :
       {"BtnStart", "BtnAssist", "BtnScan", "BtnRecover", "BtnPrev", "BtnNext", "BtnLikeIt",
        "BtnLoadImage", "BtnAdvanceScan", "BtnCreateImage", "BtnDeletedRecovery",
        "BtnFormattedRecovery", "BtnDeepRecovery", "BtnCreateImageMode", "TabScan", "TabFileType",
        "TabRecover", "CheckAll"})
    EXPECT_NE(form->findChild<QAbstractButton*>(button), nullptr) << button;
  for (const char* label : {"TxtMainInfo", "SelectedFileInfo", "Label1", "Label2", "Label3",
                            "Label4", "Label5", "Label6", "Label7", "Label8", "ChkAllListSel"})
    EXPECT_NE(form->findChild<QLabel*>(label), nullptr) << label;
  for (const char* widget : {"SubBar1", "SubBar2", "banner", "bannerPicture"})
    EXPECT_NE(form->findChild<QWidget*>(widget), nullptr) << widget;
  auto* pages = form->findChild<QStackedWidget*>("TabPage");
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(pages->count(), 3);
  auto* tabs = form->findChild<QStackedWidget*>("ResultTabs");
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->count(), 3);
  EXPECT_NE(form->findChild<CDiskListUI*>("DiskList"), nullptr);
  EXPECT_NE(form->findChild<CFileTreeUI*>("FileTree"), nullptr);
  EXPECT_NE(form->findChild<CListExUI*>("FileList"), nullptr);
  EXPECT_NE(form->findChild<Pagination*>("Pagination"), nullptr);
  EXPECT_NE(form->findChild<QTreeWidget*>("TypeTree"), nullptr);
  for (const char* mode :
       {"BtnDeletedRecovery", "BtnFormattedRecovery", "BtnDeepRecovery", "BtnCreateImageMode"})
    EXPECT_NE(form->findChild<CButtonExUI*>(mode), nullptr) << mode;
}

}  // namespace
}  // namespace brinvale::ui
