#include "ui/disk_list_ui.h"

#include <QHeaderView>
#include <cstdio>

#include "common/size_text.h"
#include "ui/skin_loader.h"
#include "ui/skin_markup.h"

namespace brinvale::ui {
namespace {

constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kSourceRole = Qt::UserRole + 2;
constexpr int kDiskNumberRole = Qt::UserRole + 3;

QString DiskRowMarkup(int diskNumber, bool removable, const QString& caption) {
  const char* format = removable ? "{f 5}{x 5}{i removable_drive.png 1 0}{x 2}%1 %2{/5}"
                                 : "{f 5}{x 5}{i physical_drive.png 1 0}{x 2}%1 %2{/5}";
  return QString::fromLatin1(format).arg(caption).arg(diskNumber);
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Puts the words of `markup` into `column` of `row`, with its picture.
void SetMarkup(QTreeWidgetItem* row, int column, const QString& markup) {
  const MarkupParts parts = SplitMarkup(markup);
  row->setText(column, parts.text);
  if (!parts.icon.isEmpty()) row->setIcon(column, QIcon(SkinPath(parts.icon)));
}

QTreeWidgetItem* MakeRow(DiskRowKind kind, ScanSource* source) {
  auto* row = new QTreeWidgetItem;
  row->setData(0, kKindRole, int(kind));
  row->setData(0, kSourceRole, QVariant::fromValue(quintptr(source)));
  return row;
}

}  // namespace

CDiskListUI::CDiskListUI(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(kColumns);
  setRootIsDecorated(true);
  setUniformRowHeights(false);
  setHeaderHidden(true);
  setIconSize(QSize(22, 22));
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::Stretch);
  header()->setSectionResizeMode(1, QHeaderView::Fixed);
  header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  header()->resizeSection(1, 10);
}

void CDiskListUI::ClearDisks() {
  for (int i = topLevelItemCount() - 1; i >= 0; --i)
    if (KindOf(topLevelItem(i)) == DiskRowKind::kDisk) delete takeTopLevelItem(i);
}

QTreeWidgetItem* CDiskListUI::AddDiskRow(int diskNumber, bool removable, const QString& caption,
                                         ScanSource* own) {
  QTreeWidgetItem* row = MakeRow(DiskRowKind::kDisk, own);
  SetMarkup(row, 0, DiskRowMarkup(diskNumber, removable, caption));
  row->setData(0, kDiskNumberRole, diskNumber);
  if (own && own->partition)
    SetMarkup(row, 2, FromUtf8(SizeText(int64_t(own->partition->totalBytes))));
  row->setData(0, Qt::UserRole, removable);
  // Disks go before the "Image File" row.
  int at = topLevelItemCount();
  if (QTreeWidgetItem* images = ImageParentRow()) at = indexOfTopLevelItem(images);
  insertTopLevelItem(at, row);
  row->setExpanded(true);
  return row;
}

void CDiskListUI::SetDiskCaptions(const QString& fixedCaption, const QString& removableCaption) {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = topLevelItem(i);
    if (KindOf(row) != DiskRowKind::kDisk) continue;
    const bool removable = row->data(0, Qt::UserRole).toBool();
    SetMarkup(row, 0,
              DiskRowMarkup(row->data(0, kDiskNumberRole).toInt(), removable,
                            removable ? removableCaption : fixedCaption));
  }
}

QTreeWidgetItem* CDiskListUI::AddPartitionRow(QTreeWidgetItem* disk, ScanSource& source) {
  QTreeWidgetItem* row = MakeRow(DiskRowKind::kPartition, &source);
  const VolumeInfo& p = *source.partition;
  const QString fileSystem = FromUtf8(p.fileSystemName);
  QString name;
  if (HasDriveLetter(p))
    name = QStringLiteral("{f 4}{x 2}%1:\\ %2{/f}").arg(QChar(p.driveLetter)).arg(fileSystem);
  else
    name = QStringLiteral("{f 4}{x 2}%1:\\ %2{/f}").arg(int(p.driveLetter)).arg(fileSystem);
  SetMarkup(row, 0, name);
  SetMarkup(row, 2, QStringLiteral("{f 4}%1{/f}").arg(FromUtf8(SizeText(int64_t(p.totalBytes)))));
  const bool removable = disk && disk->data(0, Qt::UserRole).toBool();
  row->setIcon(0, QIcon(SkinPath(removable ? QStringLiteral("drive_usb.png")
                                           : QStringLiteral("drive.png"))));
  disk->addChild(row);
  return row;
}

QTreeWidgetItem* CDiskListUI::ImageParentRow() const {
  for (int i = 0; i < topLevelItemCount(); ++i)
    if (KindOf(topLevelItem(i)) == DiskRowKind::kImageParent) return topLevelItem(i);
  return nullptr;
}

QTreeWidgetItem* CDiskListUI::AddImageRow(ScanSource& source, uint64_t bytes) {
  QTreeWidgetItem* parent = ImageParentRow();
  if (!parent) {
    parent = MakeRow(DiskRowKind::kImageParent, nullptr);
    parent->setText(0, QString());
    SetMarkup(parent, 0, QStringLiteral("{f 7}{x 5}{i image_files.png 1 0}{x 2}Image File{/f}"));
    parent->setSizeHint(0, QSize(0, kImageRowHeight));
    QFont bold = parent->font(0);
    bold.setBold(true);
    parent->setFont(0, bold);
    parent->setData(0, Qt::AccessibleTextRole, QStringLiteral("ImageFile"));
    addTopLevelItem(parent);
    parent->setExpanded(true);
  }
  QTreeWidgetItem* row = MakeRow(DiskRowKind::kImage, &source);
  SetMarkup(row, 0, QStringLiteral("{f 5}%1{/f}").arg(FromUtf8(source.ImageName())));
  row->setIcon(0, QIcon(SkinPath(QStringLiteral("image_file.png"))));
  SetMarkup(row, 2, QStringLiteral("{f 5}%1{/f}").arg(FromUtf8(SizeText(int64_t(bytes)))));
  row->setSizeHint(0, QSize(0, kImageRowHeight));
  parent->addChild(row);
  return row;
}

QTreeWidgetItem* CDiskListUI::AddImagePartitionRow(QTreeWidgetItem* image, ScanSource& source,
                                                   const QString& fileSystem, uint64_t bytes) {
  QTreeWidgetItem* row = MakeRow(DiskRowKind::kImagePartition, &source);
  const uint32_t number = source.imagePartition ? source.imagePartition->number : 0;
  SetMarkup(row, 0, QStringLiteral("{f 4}{x 2}#%1 %2{/f}").arg(number).arg(fileSystem));
  SetMarkup(row, 2, QStringLiteral("{f 4}%1{/f}").arg(FromUtf8(SizeText(int64_t(bytes)))));
  row->setIcon(0, QIcon(SkinPath(QStringLiteral("drive.png"))));
  image->addChild(row);
  image->setExpanded(true);
  return row;
}

void CDiskListUI::SetImageRowsVisible(bool visible) {
  if (QTreeWidgetItem* images = ImageParentRow()) images->setHidden(!visible);
}

DiskRowKind CDiskListUI::KindOf(const QTreeWidgetItem* row) {
  return row ? DiskRowKind(row->data(0, kKindRole).toInt()) : DiskRowKind::kImageParent;
}

ScanSource* CDiskListUI::SourceOf(const QTreeWidgetItem* row) {
  return row ? reinterpret_cast<ScanSource*>(row->data(0, kSourceRole).value<quintptr>()) : nullptr;
}

std::vector<ScanSource*> CDiskListUI::SourcesToScan(const QTreeWidgetItem* row) {
  std::vector<ScanSource*> sources;
  if (!row || KindOf(row) == DiskRowKind::kImageParent) return sources;
  for (int i = 0; i < row->childCount(); ++i)
    if (ScanSource* s = SourceOf(row->child(i))) sources.push_back(s);
  if (sources.empty())
    if (ScanSource* own = SourceOf(row)) sources.push_back(own);
  return sources;
}

std::vector<QTreeWidgetItem*> CDiskListUI::AllRows() const {
  std::vector<QTreeWidgetItem*> rows;
  QTreeWidgetItemIterator it(const_cast<CDiskListUI*>(this));
  for (; *it; ++it) rows.push_back(*it);
  return rows;
}

QTreeWidgetItem* CDiskListUI::FirstRemovablePartitionRow() const {
  for (QTreeWidgetItem* row : AllRows()) {
    if (row->childCount() != 0 || row->isHidden()) continue;
    const DiskRowKind kind = KindOf(row);
    if (kind == DiskRowKind::kPartition && row->parent() &&
        row->parent()->data(0, Qt::UserRole).toBool())
      return row;
    if (kind == DiskRowKind::kDisk && row->data(0, Qt::UserRole).toBool() && SourceOf(row))
      return row;
  }
  return nullptr;
}

}  // namespace brinvale::ui
