#pragma once

#include <QString>
#include <string>

#include "app/message_box_kinds.h"
#include "ui/popup_wnd.h"

namespace brinvale::ui {

// The skinned message box: one layout per kind (error, confirm,
// information, warning, question) with its title from the "Messages"
// section and the buttons' captions from "MessageBox". `okbtn` closes it
// with 1, `cancelbtn` and `closebtn` with 2.
class CMessageBox : public CPopUpWnd {
  Q_OBJECT
 public:
  // The size every message box is made with.
  static constexpr int kWidth = 400;
  static constexpr int kHeight = 160;

  // `kind` as callers give it: 0 to 4, any other number an error box.
  CMessageBox(const UiContext& context, int kind, QString text);

  MessageBoxKind Kind() const { return m_style.kind; }

 protected:
  void InitWindow() override;

 private:
  const MessageBoxStyle& m_style;
  const QString m_text;
};

// Shows `text` in a message box of `kind` owned by `owner` (may be null),
// modally, and answers its close code: 1 for OK or yes, 2 for cancel or
// closed.
int ShowMessage(const UiContext& context, int kind, QWidget* owner, const std::string& text);

}  // namespace brinvale::ui
