#include "ui/custom_controls.h"

namespace brinvale::ui {

CFileTreeUI::CFileTreeUI(QWidget* parent) : QTreeView(parent) { setHeaderHidden(true); }

CListExUI::CListExUI(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
}

CButtonExUI::CButtonExUI(QWidget* parent) : QPushButton(parent) {}

}  // namespace brinvale::ui
