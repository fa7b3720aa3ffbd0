#pragma once

#include <QWidget>

#include "ui/ui_context.h"

namespace brinvale::ui {

// The program's one top-level window, "Free Brinvale", built from the
// skin's main layout. Its workflow pages come with their own work; for now
// it is the frame the program runs in. Interface thread only.
class CMainWnd : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 500;

  // Borrows `context`.
  explicit CMainWnd(const UiContext& context);

  // Centres the window on its screen.
  void CenterOnScreen();

 private:
  const UiContext& m_context;
  QWidget* m_form = nullptr;  // the layout, a child
};

}  // namespace brinvale::ui
