#include "ui/file_list_model.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPointer>
#include <algorithm>
#include <cstdio>
#include <thread>

#include "common/size_text.h"
#include "platform/clock.h"
#include "results/type_view.h"
#include "ui/file_icons.h"
#include "ui/skin_loader.h"

namespace brinvale::ui {
namespace {

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

const std::array<const char*, CFileListModel::kColumnCount> CFileListModel::kColumnNames = {
    "FileName", "Size", "Type", "ModifiedTime", "CreatedTime", "Path"};

std::string FileListDateText(uint64_t fileTime) {
  if (fileTime == 0) return {};
  const platform::SystemTime t = platform::FileTimeToSystemTime(fileTime);
  char text[64];
  std::snprintf(text, sizeof text, "%d-%d-%d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string FileListTypeText(const ScanRecord& record) {
  std::string group = ExtensionGroupOf(record.Name());
  if (group == kUnknownExtension) return group;
  for (char& c : group)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return group;
}

CFileListModel::CFileListModel(CFileSelection& selection, QObject* parent)
    : QAbstractTableModel(parent), m_selection(selection) {
  for (size_t i = 0; i < kColumnCount; ++i) m_headers[i] = QLatin1String(kColumnNames[i]);
}

void CFileListModel::SetRows(std::shared_ptr<const RecordList> records,
                             std::vector<uint32_t> order) {
  ++m_sortGeneration;  // a sort still running is for rows no longer shown
  beginResetModel();
  m_records = std::move(records);
  m_order = m_records ? std::move(order) : std::vector<uint32_t>();
  m_directions.fill(0);
  m_sortColumn = -1;
  m_page = 1;
  CountChecked();
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
  emit checksChanged();
}

void CFileListModel::SetRows(std::shared_ptr<const RecordList> records) {
  std::vector<uint32_t> order(records ? records->size() : 0);
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  SetRows(std::move(records), std::move(order));
}

void CFileListModel::Clear() { SetRows(nullptr, {}); }

void CFileListModel::SetHeaderTexts(const std::array<QString, kColumnCount>& texts) {
  m_headers = texts;
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void CFileListModel::SetPageSize(int rows) {
  beginResetModel();
  m_pageSize = std::max(rows, 1);
  m_page = 1;
  endResetModel();
}

int CFileListModel::PageCount() const {
  return int((m_order.size() + size_t(m_pageSize) - 1) / size_t(m_pageSize));
}

void CFileListModel::SetPage(int page) {
  page = std::clamp(page, 1, std::max(PageCount(), 1));
  if (page == m_page) return;
  beginResetModel();
  m_page = page;
  endResetModel();
}

const ScanRecord* CFileListModel::RecordAt(int row) const {
  if (row < 0) return nullptr;
  const size_t at = FirstRowOfPage() + size_t(row);
  if (row >= m_pageSize || at >= m_order.size()) return nullptr;
  return &RecordInOrder(at);
}

std::string PlainCellText(const ScanRecord& record, int column);  // below

std::string CFileListModel::CellText(const ScanRecord& record, int column) const {
  if (column == kPath) return m_pathLookup ? m_pathLookup(record) : std::string();
  return PlainCellText(record, column);
}

// The cell texts of every column but Path, which needs the engine.
std::string PlainCellText(const ScanRecord& record, int column) {
  switch (column) {
    case CFileListModel::kFileName: return std::string(record.Name());
    case CFileListModel::kSize:
      return record.IsFolder() ? std::string() : SizeText(int64_t(record.FileSize()));
    case CFileListModel::kType: return record.IsFolder() ? std::string() : FileListTypeText(record);
    case CFileListModel::kModifiedTime: return FileListDateText(record.Written());
    case CFileListModel::kCreatedTime: return FileListDateText(record.Created());
    default: return {};
  }
}

namespace {

// `order` sorted by `column`: sizes as numbers, other columns by their
// texts with ASCII letters folded to lower case (`texts`, one per position
// of `order`, when given; else the records' own). Rows with equal keys keep
// their order. Reads only its arguments, so it may run on any thread.
std::vector<uint32_t> SortedOrder(const RecordList& records, const std::vector<uint32_t>& order,
                                  int column, bool ascending, std::vector<std::string> texts) {
  std::vector<uint32_t> positions(order.size());
  for (size_t i = 0; i < positions.size(); ++i) positions[i] = uint32_t(i);
  if (column == CFileListModel::kSize) {
    std::vector<uint64_t> keys(order.size());
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = records[order[i]].FileSize();
    std::sort(positions.begin(), positions.end(), [&](uint32_t a, uint32_t b) {
      if (keys[a] != keys[b]) return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
      return a < b;
    });
  } else {
    std::vector<std::string> keys = std::move(texts);
    if (keys.size() != order.size()) {
      keys.resize(order.size());
      for (size_t i = 0; i < keys.size(); ++i) keys[i] = PlainCellText(records[order[i]], column);
    }
    // The first eight bytes of each key as a number settle most
    // comparisons without reaching into the texts.
    std::vector<uint64_t> prefixes(order.size());
    for (size_t i = 0; i < keys.size(); ++i) {
      uint64_t prefix = 0;
      for (size_t k = 0; k < keys[i].size(); ++k) {
        keys[i][k] = char(Fold(uint8_t(keys[i][k])));
        if (k < 8) prefix |= uint64_t(uint8_t(keys[i][k])) << (56 - 8 * k);
      }
      prefixes[i] = prefix;
    }
    std::sort(positions.begin(), positions.end(), [&](uint32_t a, uint32_t b) {
      int c = 0;
      if (prefixes[a] != prefixes[b])
        c = prefixes[a] < prefixes[b] ? -1 : 1;
      else
        c = keys[a].compare(keys[b]);
      if (c != 0) return ascending ? c < 0 : c > 0;
      return a < b;
    });
  }
  std::vector<uint32_t> sorted(order.size());
  for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = order[positions[i]];
  return sorted;
}

}  // namespace

void CFileListModel::SortByHeader(int column) {
  if (column < 0 || column >= kColumnCount) return;
  int& direction = m_directions[size_t(column)];
  if (column == kFileName || column == kType)
    direction = direction == 1 ? -1 : 1;
  else if (column != kPath)
    direction = direction == -1 ? 1 : -1;
  const bool ascending = direction == 1;
  m_sortColumn = column;
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
  if (!m_records) return;

  // The paths come from the engines, which only this thread may ask.
  std::vector<std::string> texts;
  if (column == kPath) {
    texts.reserve(m_order.size());
    for (uint32_t i : m_order) texts.push_back(CellText((*m_records)[i], column));
  }
  const uint64_t generation = ++m_sortGeneration;
  if (m_order.size() < m_backgroundSortRows) {
    ApplyOrder(generation, SortedOrder(*m_records, m_order, column, ascending, std::move(texts)));
    return;
  }
  // A long list is sorted on a thread of its own; the list stays usable
  // meanwhile and takes the new order when it arrives, unless the rows
  // changed or another sort began since.
  ++m_sortsRunning;
  QPointer<CFileListModel> self(this);
  std::thread([self, records = m_records, order = m_order, column, ascending, generation,
               texts = std::move(texts)]() mutable {
    std::vector<uint32_t> sorted =
        SortedOrder(*records, order, column, ascending, std::move(texts));
    QMetaObject::invokeMethod(
        qApp,
        [self, generation, sorted = std::move(sorted)]() mutable {
          if (!self) return;
          --self->m_sortsRunning;
          self->ApplyOrder(generation, std::move(sorted));
        },
        Qt::QueuedConnection);
  }).detach();
}

void CFileListModel::ApplyOrder(uint64_t generation, std::vector<uint32_t> order) {
  if (generation != m_sortGeneration || order.size() != m_order.size()) return;
  beginResetModel();
  m_order = std::move(order);
  m_page = 1;
  endResetModel();
  emit rowsReordered();
}

void CFileListModel::CountChecked() {
  m_checkedRows = 0;
  if (m_selection.Count() == 0) return;
  for (size_t i = 0; i < m_order.size(); ++i)
    if (m_selection.Contains(RecordInOrder(i))) ++m_checkedRows;
}

void CFileListModel::SetAllChecked(bool checked) {
  if (checked) {
    std::vector<const ScanRecord*> rows(m_order.size());
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = &RecordInOrder(i);
    m_selection.AddAll(std::move(rows), m_records);
  } else if (m_checkedRows == m_selection.Count()) {
    // Every marked file is a row of this list.
    m_selection.Clear();
  } else {
    for (size_t i = 0; i < m_order.size(); ++i) m_selection.Remove(RecordInOrder(i));
  }
  m_checkedRows = checked ? m_order.size() : 0;
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
  emit checksChanged();
}

Qt::CheckState CFileListModel::AllCheckState() const {
  if (m_checkedRows == 0) return Qt::Unchecked;
  return m_checkedRows == m_order.size() ? Qt::Checked : Qt::PartiallyChecked;
}

void CFileListModel::SelectionChanged() {
  CountChecked();
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
  emit checksChanged();
}

int CFileListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || m_order.empty()) return 0;
  const size_t first = FirstRowOfPage();
  if (first >= m_order.size()) return 0;
  return int(std::min<size_t>(size_t(m_pageSize), m_order.size() - first));
}

int CFileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const {
  const ScanRecord* record = RecordAt(index.row());
  if (!record) return {};
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole: return FromUtf8(CellText(*record, column));
    case Qt::ToolTipRole: {
      std::string text = CellText(*record, column);
      if (column == kFileName && !record->IsFolder()) {
        if (const auto verdict = KnownVerdict(*record)) {
          text += " (" + std::string(CarvedConditionName(verdict->condition));
          if (verdict->condition == CarvedCondition::kDamaged &&
              verdict->fault != CarvedFault::kNone)
            text += ": " + std::string(CarvedFaultText(verdict->fault));
          text += ")";
        }
      }
      return FromUtf8(text);
    }
    case Qt::DecorationRole:
      if (column == kFileName) {
        const auto verdict = record->IsFolder() ? std::nullopt : KnownVerdict(*record);
        return FileIcon(*record, verdict && verdict->condition == CarvedCondition::kDamaged);
      }
      break;
    case Qt::CheckStateRole:
      if (column == kFileName) return m_selection.Contains(*record) ? Qt::Checked : Qt::Unchecked;
      break;
    case Qt::TextAlignmentRole:
      if (column == kSize) return int(Qt::AlignRight | Qt::AlignVCenter);
      break;
    default: break;
  }
  return {};
}

std::optional<CarvedVerdict> CFileListModel::KnownVerdict(const ScanRecord& record) const {
  return m_verdictLookup ? m_verdictLookup(record) : std::nullopt;
}

void CFileListModel::VerdictKnown(int row) {
  if (row < 0 || row >= rowCount()) return;
  emit dataChanged(index(row, kFileName), index(row, kFileName),
                   {Qt::DecorationRole, Qt::ToolTipRole});
}

bool CFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const ScanRecord* record = RecordAt(index.row());
  if (!record || role != Qt::CheckStateRole || index.column() != kFileName) return false;
  const bool checked = Qt::CheckState(value.toInt()) == Qt::Checked;
  if (checked ? m_selection.Add(*record, m_records) : m_selection.Remove(*record)) {
    if (checked)
      ++m_checkedRows;
    else if (m_checkedRows > 0)
      --m_checkedRows;
  }
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit checksChanged();
  return true;
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.column() == kFileName) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return m_headers[size_t(section)];
  if (role == Qt::DecorationRole && section == m_sortColumn) {
    static const QIcon asc(SkinPath(QStringLiteral("list_header_asc.png")));
    static const QIcon desc(SkinPath(QStringLiteral("list_header_desc.png")));
    return m_directions[size_t(section)] == 1 ? asc : desc;
  }
  return {};
}

}  // namespace brinvale::ui
