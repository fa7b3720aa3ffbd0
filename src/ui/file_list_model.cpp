#include "ui/file_list_model.h"

#include <QIcon>
#include <algorithm>
#include <cstdio>

#include "common/size_text.h"
#include "platform/clock.h"
#include "results/type_view.h"
#include "ui/file_icons.h"
#include "ui/skin_loader.h"

namespace brinvale::ui {
namespace {

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Less than, ASCII letters compared without case.
bool LessIgnoringCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = Fold(uint8_t(a[i]));
    const unsigned char y = Fold(uint8_t(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

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

std::string CFileListModel::CellText(const ScanRecord& record, int column) const {
  switch (column) {
    case kFileName: return std::string(record.Name());
    case kSize: return record.IsFolder() ? std::string() : SizeText(int64_t(record.FileSize()));
    case kType: return record.IsFolder() ? std::string() : FileListTypeText(record);
    case kModifiedTime: return FileListDateText(record.Written());
    case kCreatedTime: return FileListDateText(record.Created());
    case kPath: return m_pathLookup ? m_pathLookup(record) : std::string();
    default: return {};
  }
}

void CFileListModel::SortByHeader(int column) {
  if (column < 0 || column >= kColumnCount) return;
  int& direction = m_directions[size_t(column)];
  if (column == kFileName || column == kType)
    direction = direction == 1 ? -1 : 1;
  else if (column != kPath)
    direction = direction == -1 ? 1 : -1;
  const bool ascending = direction == 1;
  m_sortColumn = column;
  if (!m_records) return;

  beginResetModel();
  const RecordList& records = *m_records;
  if (column == kSize) {
    std::stable_sort(m_order.begin(), m_order.end(), [&](uint32_t a, uint32_t b) {
      const uint64_t x = records[a].FileSize(), y = records[b].FileSize();
      return ascending ? x < y : y < x;
    });
  } else if (column == kFileName) {
    std::stable_sort(m_order.begin(), m_order.end(), [&](uint32_t a, uint32_t b) {
      return ascending ? LessIgnoringCase(records[a].Name(), records[b].Name())
                       : LessIgnoringCase(records[b].Name(), records[a].Name());
    });
  } else {
    // The texts once per row, then the order by them.
    std::vector<std::pair<std::string, uint32_t>> keyed;
    keyed.reserve(m_order.size());
    for (uint32_t i : m_order) keyed.emplace_back(CellText(records[i], column), i);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      return ascending ? LessIgnoringCase(a.first, b.first) : LessIgnoringCase(b.first, a.first);
    });
    for (size_t i = 0; i < keyed.size(); ++i) m_order[i] = keyed[i].second;
  }
  m_page = 1;
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void CFileListModel::CountChecked() {
  m_checkedRows = 0;
  if (m_selection.Count() == 0) return;
  for (size_t i = 0; i < m_order.size(); ++i)
    if (m_selection.Contains(RecordInOrder(i))) ++m_checkedRows;
}

void CFileListModel::SetAllChecked(bool checked) {
  for (size_t i = 0; i < m_order.size(); ++i) {
    if (checked)
      m_selection.Add(RecordInOrder(i));
    else
      m_selection.Remove(RecordInOrder(i));
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
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return FromUtf8(CellText(*record, column));
    case Qt::DecorationRole:
      if (column == kFileName) return FileIcon(*record);
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

bool CFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const ScanRecord* record = RecordAt(index.row());
  if (!record || role != Qt::CheckStateRole || index.column() != kFileName) return false;
  const bool checked = Qt::CheckState(value.toInt()) == Qt::Checked;
  if (checked ? m_selection.Add(*record) : m_selection.Remove(*record)) {
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
