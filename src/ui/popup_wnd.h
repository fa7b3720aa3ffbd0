#pragma once

#include <QDialog>
#include <QHash>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <string_view>

#include "app/control_texts.h"
#include "ui/ui_context.h"

class QAbstractButton;

namespace brinvale::ui {

// What a window expects a control of its layout to be.
enum class ControlKind {
  kText,      // a label (QLabel)
  kButton,    // QAbstractButton
  kProgress,  // QProgressBar
  kList,      // a list of rows with columns (QTreeWidget)
};

// A control a window looks up by name.
struct ControlSpec {
  const char* name;
  ControlKind kind;
};

// The base of every secondary window: a modal, skinned pop-up without the
// system's frame. Its layout comes from the skin file it names; its
// controls are found by object name, and a click on any button of the
// layout reaches OnClick with the button's name. The strip named "caption"
// moves the window when dragged (buttons and selectable texts on it keep
// their clicks); a sizable window is also sized from its borders while not
// maximised.
//
// Made by its caller, created as a pop-up of an owner, run modally, and
// destroyed by the caller once ShowModal returns. Interface thread only.
class CPopUpWnd : public QDialog, public IControlTexts {
  Q_OBJECT
 public:
  // `skinFile` is named from the skin's root ("xml\\ScanProcessWnd.xml");
  // `section` is the message-table section its controls take their texts
  // from; `controls` are the controls it looks up (a static table).
  // Borrows `context`.
  CPopUpWnd(const UiContext& context, QString windowClassName, QString skinFile, QString section,
            std::span<const ControlSpec> controls);
  ~CPopUpWnd() override;

  QString GetWindowClassName() const { return m_windowClassName; }
  QString GetSkinFile() const { return m_skinFile; }
  QString GetSection() const { return m_section; }

  // The controls of the window's table that its layout lacks or holds as
  // another kind, and "caption" when it has no caption strip. Known once
  // the window is created.
  QStringList MissingControls() const { return m_missing; }

  // Builds the window from its layout as a pop-up of `owner` (may be null),
  // `width` x `height` pixels, centred over the owner (or the screen).
  void CreatePopUp(QWidget* owner, int width, int height);

  // Shows the window modally and answers the code it was closed with. The
  // context's runner, when there is one, does it instead.
  int ShowModal();

  // Ends the modal loop with `code`. Only the first request counts: a
  // window closes once.
  void CloseWith(int code);
  // The code of the close, once it closed.
  std::optional<int> ClosedWith() const { return m_closeCode; }

  // Sets, for every key of `section`, the text of the control of that name.
  void ApplySection(std::string_view section);
  // IControlTexts: the text of a label, button or list header found by name;
  // a missing control is passed over.
  void SetControlText(std::string_view control, std::string_view text) override;

  // Lets the window be sized from its borders.
  void SetSizable(bool sizable) { m_sizable = sizable; }
  // The size it was created with.
  QSize InitialSize() const { return m_initialSize; }

  // Centres the window over its owner, or on the screen without one.
  void CenterWindow();

 signals:
  // The window has been built and shown for the first time.
  void windowInitialised();

 protected:
  // Looks the window's controls up, right after its layout is built.
  virtual void InitWindow() {}
  // A click on the button named `name`: "closebtn" and "cancelbtn" close
  // with 2, "okbtn" with 1, others do nothing.
  virtual void OnClick(const QString& name);
  // The window is shown for the first time: its section's texts are set.
  virtual void OnWindowInit();

  const UiContext& Context() const { return m_context; }
  // The control of the layout named `name` and of type T; null when the
  // layout has none.
  template <typename T = QWidget>
  T* Control(const QString& name) const {
    return qobject_cast<T*>(m_controls.value(name));
  }
  template <typename T = QWidget>
  T* Control(const char* name) const {
    return Control<T>(QLatin1String(name));
  }
  QWidget* Form() const { return m_form; }

  // While held, close requests are kept instead of closing, and the first
  // of them is answered by ReleaseClose.
  void HoldClose() { m_holdClose = true; }
  std::optional<int> ReleaseClose();

  void showEvent(QShowEvent* event) override;
  void reject() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Qt::Edges EdgesAt(const QPoint& pos) const;
  bool OnCaption(const QPoint& pos) const;
  void WireButtons();
  void LookUpControls();

  const UiContext& m_context;
  const QString m_windowClassName;
  const QString m_skinFile;
  const QString m_section;
  const std::span<const ControlSpec> m_controlSpecs;
  QWidget* m_form = nullptr;            // owned by the window as its child
  QHash<QString, QWidget*> m_controls;  // children of m_form
  QStringList m_missing;
  QSize m_initialSize;
  bool m_initialised = false;
  bool m_sizable = false;
  std::optional<int> m_closeCode;
  bool m_holdClose = false;
  std::optional<int> m_heldClose;

  // A move or a size by the mouse that the window system does not do.
  enum class Drag { kNone, kMove, kSize };
  Drag m_drag = Drag::kNone;
  Qt::Edges m_dragEdges;
  QPoint m_dragStart;  // global position of the press
  QRect m_dragGeometry;
};

}  // namespace brinvale::ui
