#pragma once

#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include "ui/disk_list_ui.h"
#include "ui/pagination.h"

// The skin's own controls: widget classes that layouts name as custom
// widgets and the skin loader makes. They carry the names the layouts use;
// the windows that fill them give them their models and behaviour.
namespace brinvale::ui {

// The folder tree of a scan's results (a CFileTreeModel).
class CFileTreeUI : public QTreeView {
  Q_OBJECT
 public:
  explicit CFileTreeUI(QWidget* parent = nullptr);
};

// A list with a header of columns: the file list (a CFileListModel, one
// page at a time).
class CListExUI : public QTreeView {
  Q_OBJECT
 public:
  explicit CListExUI(QWidget* parent = nullptr);
};

// A push button that shows a picture beside its text.
class CButtonExUI : public QPushButton {
  Q_OBJECT
 public:
  explicit CButtonExUI(QWidget* parent = nullptr);
};

}  // namespace brinvale::ui
