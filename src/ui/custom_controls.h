#pragma once

#include <QPushButton>
#include <QTreeView>
#include <QWidget>

// The skin's own controls: widget classes that layouts name as custom
// widgets and the skin loader makes. They carry the names the layouts use;
// the windows that fill them give them their models and behaviour.
namespace brinvale::ui {

// The list of disks, their partitions and loaded images.
class CDiskListUI : public QTreeView {
  Q_OBJECT
 public:
  explicit CDiskListUI(QWidget* parent = nullptr);
};

// The folder tree of a scan's results.
class CFileTreeUI : public QTreeView {
  Q_OBJECT
 public:
  explicit CFileTreeUI(QWidget* parent = nullptr);
};

// A list with a header of columns: the file list, the recovery details.
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

// The row of page buttons under the file list.
class Pagination : public QWidget {
  Q_OBJECT
 public:
  explicit Pagination(QWidget* parent = nullptr);
};

}  // namespace brinvale::ui
