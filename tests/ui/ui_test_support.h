#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QSize>
#include <QString>
#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/message_table.h"
#include "app/message_table_files.h"
#include "ui/message_box.h"
#include "ui/ui_context.h"

namespace brinvale::ui::test {

// The shipped English texts, as the program reads them from its data
// folder in the build tree.
inline MessageTable& ShippedTexts() {
  static MessageTable table(MessageTableFiles{BRINVALE_PROGRAM_DATA_DIR, {}});
  return table;
}

// What a message box showed.
struct ShownBox {
  int kind = -1;
  QString windowClass;
  QString skinFile;
  QString title;
  QString message;
  QString okText;
  QSize size;
  QWidget* owner = nullptr;
};

// Answers message boxes in place of a person: each box is shown, looked
// at, and closed by a click on the button `answer` names ("okbtn",
// "cancelbtn", "closebtn"), so the box's own click handling gives the
// close code. Never runs a modal loop.
class Presenter {
 public:
  std::vector<ShownBox> shown;
  std::function<QString(const ShownBox&)> answer = [](const ShownBox&) {
    return QStringLiteral("okbtn");
  };
  // Runs while the box is open, before the click.
  std::function<void()> whileOpen;

  UiContext Context() {
    return UiContext{ShippedTexts(), [this](CPopUpWnd& window) { return Present(window); }};
  }

 private:
  int Present(CPopUpWnd& window) {
    ShownBox box;
    if (auto* messageBox = dynamic_cast<CMessageBox*>(&window)) box.kind = int(messageBox->Kind());
    box.windowClass = window.GetWindowClassName();
    box.skinFile = window.GetSkinFile();
    if (auto* title = window.findChild<QLabel*>("title")) box.title = title->text();
    if (auto* message = window.findChild<QLabel*>("message")) box.message = message->text();
    box.owner = window.parentWidget();
    window.show();
    box.size = window.size();
    if (auto* ok = window.findChild<QAbstractButton*>("okbtn")) box.okText = ok->text();
    shown.push_back(box);
    if (whileOpen) whileOpen();
    auto* button = window.findChild<QAbstractButton*>(answer(box));
    if (!button) return -1;
    QTest::mouseClick(button, Qt::LeftButton);
    return window.ClosedWith().value_or(-1);
  }
};

// A top-level window that owns the windows under test and keeps the types
// of the events posted to it.
class OwnerWindow : public QWidget {
 public:
  OwnerWindow() {
    resize(800, 500);
    show();
  }
  std::vector<int> posted;

 protected:
  void customEvent(QEvent* event) override { posted.push_back(int(event->type())); }
};

}  // namespace brinvale::ui::test

#include <QProgressBar>
#include <filesystem>
#include <string>

#include "app/scan_source.h"
#include "support/fixture_path.h"
#include "ui/popup_wnd.h"

namespace brinvale::ui::test {

// An image source over a fixture image.
inline ScanSource FixtureImage(const std::string& fixture, uint16_t tag) {
  ScanSource source;
  source.imagePath = brinvale::test::FixturePath(fixture);
  source.sourceTag = tag;
  return source;
}

// The text of `window`'s label `name`; empty when it has none.
inline std::string LabelText(const QWidget& window, const char* name) {
  auto* label = window.findChild<QLabel*>(name);
  return label ? label->text().toStdString() : std::string();
}

// Creates `window` over `owner`, shows it (which starts its job) and waits
// until it closes; its close code, or -1 when it did not close in time.
inline int RunUntilClosed(CPopUpWnd& window, QWidget* owner, int width, int height,
                          int timeoutMs = 120000) {
  window.CreatePopUp(owner, width, height);
  window.show();
  if (!QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, timeoutMs)) return -1;
  return *window.ClosedWith();
}

}  // namespace brinvale::ui::test
