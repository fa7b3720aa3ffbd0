#pragma once

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "results/carved_condition.h"
#include "results/recovery_engine.h"
#include "ui/file_selection.h"

namespace brinvale::ui {

// The date text of a FILETIME as the file list shows it,
// "%d-%d-%d %02d:%02d:%02d" (year, month, day, hour, minute, second), the
// time taken as it is stored; empty for 0 (no time recorded).
std::string FileListDateText(uint64_t fileTime);

// The file list's "Type" text of a name: its extension group in upper case
// ("JPG" for a.jpeg), "unknow" without an extension.
std::string FileListTypeText(const ScanRecord& record);

// The found files of one folder or one extension as the file list shows
// them, one page at a time: a table model over records it shares with
// their owner, in an order of its own (sorted by a column header), with a
// check box per row that marks the file in the selection. The records are
// decoded for the rows shown only; a sort prepares the column's keys once.
// Interface thread only.
class CFileListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kFileName, kSize, kType, kModifiedTime, kCreatedTime, kPath, kColumnCount };
  static constexpr int kDefaultPageSize = 100;
  // The control names of the columns, in order.
  static const std::array<const char*, kColumnCount> kColumnNames;

  // A record's folder path, for the Path column.
  using PathLookup = std::function<std::string(const ScanRecord& record)>;
  // A record's verdict as far as it is known without reading the medium
  // (rows are drawn often); nothing when it is not known yet.
  using VerdictLookup = std::function<std::optional<CarvedVerdict>(const ScanRecord& record)>;

  // Borrows `selection`, which must outlive the model.
  explicit CFileListModel(CFileSelection& selection, QObject* parent = nullptr);

  // Shows `order` (indexes into `records`), unsorted, from page 1; every
  // column's direction goes back to unsorted.
  void SetRows(std::shared_ptr<const RecordList> records, std::vector<uint32_t> order);
  // Every record of `records`, in its order.
  void SetRows(std::shared_ptr<const RecordList> records);
  void Clear();
  void SetPathLookup(PathLookup lookup) { m_pathLookup = std::move(lookup); }
  // A damaged file's row shows the "_error" icon, and the name's tooltip
  // tells a known verdict ("complete", "damaged: <why>", "unchecked").
  void SetVerdictLookup(VerdictLookup lookup) { m_verdictLookup = std::move(lookup); }
  // The verdict of the record of `row` became known: its icon and tooltip
  // are drawn again.
  void VerdictKnown(int row);
  void SetHeaderTexts(const std::array<QString, kColumnCount>& texts);

  size_t TotalRows() const { return m_order.size(); }
  int PageSize() const { return m_pageSize; }
  void SetPageSize(int rows);
  int PageCount() const;
  int Page() const { return m_page; }
  // Shows page `page` (from 1); out of range is kept in range.
  void SetPage(int page);
  // The record of row `row` of the page shown; null out of range.
  const ScanRecord* RecordAt(int row) const;
  // The record at position `index` of the whole list in its order.
  const ScanRecord& RecordInOrder(size_t index) const { return (*m_records)[m_order[index]]; }

  // A click on the header of `column`: turns its direction (FileName and
  // Type: ascending unless it was ascending; Size and the times: descending
  // unless it was descending; Path keeps it) and sorts the whole list by
  // the column, going back to page 1. Size compares the sizes; the other
  // columns their texts without regard to case. Direction 1 is ascending.
  // A long list is sorted in the background (SetBackgroundSortRows).
  void SortByHeader(int column);
  // The direction of `column`: 1 ascending, -1 descending, 0 not sorted yet.
  int Direction(int column) const { return m_directions[size_t(column)]; }
  // The column the list is sorted by, -1 before the first sort.
  int SortColumn() const { return m_sortColumn; }
  // Lists of at least `rows` rows are sorted on a thread of their own: the
  // interface goes on meanwhile and the rows take their new order when it
  // is ready (rowsReordered). Shorter lists are sorted at once.
  void SetBackgroundSortRows(size_t rows) { m_backgroundSortRows = rows; }
  static constexpr size_t kDefaultBackgroundSortRows = 50'000;
  // Whether a sort on its own thread has not yet come back.
  bool Sorting() const { return m_sortsRunning > 0; }

  // Ticks or clears every row of the list, marking or unmarking its file.
  void SetAllChecked(bool checked);
  // Unchecked with no row ticked, checked with every row ticked, partly
  // otherwise.
  Qt::CheckState AllCheckState() const;
  // Counts the ticked rows again, after the selection changed elsewhere.
  void SelectionChanged();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  // A row was ticked or cleared, or all of them.
  void checksChanged();
  // A sort gave the rows their new order; page 1 is shown.
  void rowsReordered();

 private:
  std::string CellText(const ScanRecord& record, int column) const;
  std::optional<CarvedVerdict> KnownVerdict(const ScanRecord& record) const;
  size_t FirstRowOfPage() const { return size_t(m_page - 1) * size_t(m_pageSize); }
  void CountChecked();
  // Takes the order a sort made, unless it is stale.
  void ApplyOrder(uint64_t generation, std::vector<uint32_t> order);

  CFileSelection& m_selection;
  std::shared_ptr<const RecordList> m_records;
  std::vector<uint32_t> m_order;
  VerdictLookup m_verdictLookup;
  PathLookup m_pathLookup;
  std::array<QString, kColumnCount> m_headers;
  std::array<int, kColumnCount> m_directions{};
  int m_sortColumn = -1;
  int m_pageSize = kDefaultPageSize;
  int m_page = 1;
  size_t m_checkedRows = 0;
  size_t m_backgroundSortRows = kDefaultBackgroundSortRows;
  uint64_t m_sortGeneration = 0;  // grows with every sort and every new set of rows
  int m_sortsRunning = 0;
};

}  // namespace brinvale::ui
