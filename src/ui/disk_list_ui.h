#pragma once

#include <QString>
#include <QTreeWidget>
#include <vector>

#include "app/scan_source.h"

namespace brinvale::ui {

// The kinds of rows of the disk list.
enum class DiskRowKind {
  kDisk,            // a physical disk; its partitions are its children
  kPartition,       // a volume of a disk
  kImageParent,     // the "Image File" row, parent of the loaded images
  kImage,           // a loaded image file
  kImagePartition,  // one partition of an image that holds a whole disk
};

// The list of disks with their partitions, and the loaded images under the
// "Image File" row: three columns (name, nothing, size), each row knowing
// the scan source it stands for (borrowed from the main window, which owns
// the sources). Rows take the skin's markup texts. Interface thread only.
class CDiskListUI : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int kColumns = 3;
  static constexpr int kImageRowHeight = 30;

  explicit CDiskListUI(QWidget* parent = nullptr);

  // Removes every disk row with its partitions; the image rows stay.
  void ClearDisks();
  // Adds a disk row before the image rows: `caption` is the "MSG0201" (or,
  // removable, "MSG0202") text; `own` the whole disk's source when the disk
  // has no partition rows, else null.
  QTreeWidgetItem* AddDiskRow(int diskNumber, bool removable, const QString& caption,
                              ScanSource* own);
  // Gives every disk row its caption again, after a change of language.
  void SetDiskCaptions(const QString& fixedCaption, const QString& removableCaption);
  // Adds a partition row under `disk` for `source`, which has a partition.
  QTreeWidgetItem* AddPartitionRow(QTreeWidgetItem* disk, ScanSource& source);
  // Adds a row for a loaded image of `bytes` bytes under the "Image File"
  // row, which the first image creates.
  QTreeWidgetItem* AddImageRow(ScanSource& source, uint64_t bytes);
  // Adds a row under `image` for one of its partitions.
  QTreeWidgetItem* AddImagePartitionRow(QTreeWidgetItem* image, ScanSource& source,
                                        const QString& fileSystem, uint64_t bytes);

  // The "Image File" row; null before the first image.
  QTreeWidgetItem* ImageParentRow() const;
  // Shows or hides the image rows.
  void SetImageRowsVisible(bool visible);

  static DiskRowKind KindOf(const QTreeWidgetItem* row);
  static ScanSource* SourceOf(const QTreeWidgetItem* row);
  // What a scan of `row` scans: the sources of its child rows in order when
  // it has any, else its own source; nothing for the "Image File" row.
  static std::vector<ScanSource*> SourcesToScan(const QTreeWidgetItem* row);

  // The first partition row (a row without rows under it) of a removable
  // disk; null when there is none.
  QTreeWidgetItem* FirstRemovablePartitionRow() const;
  // Every row, parents before their children, in list order.
  std::vector<QTreeWidgetItem*> AllRows() const;
};

}  // namespace brinvale::ui
