#include "ui/file_tree_model.h"

#include <QIcon>

#include "ui/skin_loader.h"

namespace brinvale::ui {

struct CFileTreeModel::Node {
  Node* parent = nullptr;
  int row = 0;
  ScanSource* source = nullptr;
  std::optional<ScanRecord> folder;  // none for a source's root
  uint32_t depth = 0;                // ListChildren's depth for this node's children
  QString name;
  bool listed = false;  // the engine was asked
  std::shared_ptr<RecordList> listing;
  std::vector<std::unique_ptr<Node>> children;  // the folders of the listing
  std::optional<uint32_t> fileCount;
};

CFileTreeModel::CFileTreeModel(QObject* parent) : QAbstractItemModel(parent) {}
CFileTreeModel::~CFileTreeModel() = default;

void CFileTreeModel::SetSources(const std::vector<ScanSource*>& sources,
                                const std::vector<QString>& names) {
  beginResetModel();
  m_roots.clear();
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!sources[i] || !sources[i]->engine) continue;
    auto node = std::make_unique<Node>();
    node->row = int(m_roots.size());
    node->source = sources[i];
    node->name = i < names.size() ? names[i] : QString();
    m_roots.push_back(std::move(node));
  }
  endResetModel();
}

CFileTreeModel::Node* CFileTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

std::optional<CFileTreeModel::Place> CFileTreeModel::PlaceOf(const QModelIndex& index) const {
  Node* node = NodeOf(index);
  if (!node) return std::nullopt;
  return Place{node->source, node->folder ? &*node->folder : nullptr, node->depth};
}

void CFileTreeModel::List(Node& node) {
  if (node.listed) return;
  node.listed = true;
  if (!node.source || !node.source->engine) return;
  auto listing = std::make_shared<RecordList>();
  const ScanRecord* folder = node.folder ? &*node.folder : nullptr;
  if (node.source->engine->ListChildren(folder, node.depth, *listing) != kOk) return;
  node.listing = listing;
  for (const ScanRecord& child : *listing) {
    if (!child.IsFolder()) continue;
    auto sub = std::make_unique<Node>();
    sub->parent = &node;
    sub->row = int(node.children.size());
    sub->source = node.source;
    sub->folder = child;
    sub->depth = node.depth + 1;
    sub->name = QString::fromUtf8(child.Name().data(), qsizetype(child.Name().size()));
    node.children.push_back(std::move(sub));
  }
}

std::shared_ptr<const RecordList> CFileTreeModel::Listing(const QModelIndex& index) {
  Node* node = NodeOf(index);
  if (!node) return nullptr;
  if (!node->listed) {
    // Opening the node lists it; the view learns of its rows through the
    // usual insertion.
    fetchMore(index);
  }
  return node->listing;
}

QModelIndex CFileTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  Node* p = NodeOf(parent);
  if (!p) {
    if (size_t(row) >= m_roots.size()) return {};
    return createIndex(row, 0, m_roots[size_t(row)].get());
  }
  if (size_t(row) >= p->children.size()) return {};
  return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex CFileTreeModel::parent(const QModelIndex& child) const {
  Node* node = NodeOf(child);
  if (!node || !node->parent) return {};
  return createIndex(node->parent->row, 0, node->parent);
}

int CFileTreeModel::rowCount(const QModelIndex& parent) const {
  Node* node = NodeOf(parent);
  if (!node) return int(m_roots.size());
  return int(node->children.size());
}

int CFileTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool CFileTreeModel::hasChildren(const QModelIndex& parent) const {
  Node* node = NodeOf(parent);
  if (!node) return !m_roots.empty();
  return node->listed ? !node->children.empty() : true;
}

bool CFileTreeModel::canFetchMore(const QModelIndex& parent) const {
  Node* node = NodeOf(parent);
  return node && !node->listed;
}

void CFileTreeModel::fetchMore(const QModelIndex& parent) {
  Node* node = NodeOf(parent);
  if (!node || node->listed) return;
  // The children are listed first, then announced.
  List(*node);
  if (node->children.empty()) {
    emit dataChanged(parent, parent);
    return;
  }
  node->listed = false;
  std::vector<std::unique_ptr<Node>> children = std::move(node->children);
  node->children.clear();
  beginInsertRows(parent, 0, int(children.size()) - 1);
  node->children = std::move(children);
  node->listed = true;
  endInsertRows();
}

QVariant CFileTreeModel::data(const QModelIndex& index, int role) const {
  Node* node = NodeOf(index);
  if (!node) return {};
  if (role == Qt::DisplayRole) {
    if (!node->fileCount && node->source && node->source->engine) {
      uint32_t count = 0;
      const ScanRecord* folder = node->folder ? &*node->folder : nullptr;
      if (node->source->engine->CountFiles(folder, node->depth, count) == kOk)
        node->fileCount = count;
      else
        node->fileCount = 0;
    }
    return QStringLiteral("%1 (%2)").arg(node->name).arg(node->fileCount.value_or(0));
  }
  if (role == Qt::DecorationRole) {
    static const QIcon folder(SkinPath(QStringLiteral("FileIcon/folder.png")));
    static const QIcon drive(SkinPath(QStringLiteral("drive.png")));
    return node->folder ? folder : drive;
  }
  return {};
}

}  // namespace brinvale::ui
