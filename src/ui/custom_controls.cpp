#include "ui/custom_controls.h"

namespace brinvale::ui {

CDiskListUI::CDiskListUI(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(true);
  setUniformRowHeights(true);
}

CFileTreeUI::CFileTreeUI(QWidget* parent) : QTreeView(parent) { setHeaderHidden(true); }

CListExUI::CListExUI(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
}

CButtonExUI::CButtonExUI(QWidget* parent) : QPushButton(parent) {}

Pagination::Pagination(QWidget* parent) : QWidget(parent) {}

}  // namespace brinvale::ui
