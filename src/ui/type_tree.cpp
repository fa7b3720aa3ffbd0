#include "ui/type_tree.h"

#include "results/file_categories.h"

namespace brinvale::ui {
namespace {

constexpr int kNameRole = Qt::UserRole + 1;       // "NodePhoto", ..., "filetype"
constexpr int kExtensionRole = Qt::UserRole + 2;  // the group of a "filetype" node

}  // namespace

const std::array<const char*, kCategoryCount> CTypeTree::kNodeNames = {
    "NodePhoto", "NodeAudio", "NodeVideo", "NodeOffice", "NodeZip", "NodeOther"};

FileCategory TypeTreeCategoryOf(const std::string& extension) {
  if (extension == kUnknownExtension) return FileCategory::kOther;
  for (FileCategory c : {FileCategory::kPhoto, FileCategory::kAudio, FileCategory::kVideo,
                         FileCategory::kDocument, FileCategory::kArchive})
    if (InList(extension, CategoryListText(c))) return c;
  return FileCategory::kOther;
}

QString TypeNodeText(const std::string& extension, size_t count) {
  const QString ext = QString::fromStdString(extension);
  if (extension == kUnknownExtension) return QStringLiteral("%1 (%2)").arg(ext).arg(count);
  return QStringLiteral("%1 Files (%2)").arg(ext).arg(count);
}

void CTypeTree::Clear() { m_tree.clear(); }

void CTypeTree::Fill(const ExtensionGroups& groups,
                     const std::array<QString, kCategoryCount>& captions) {
  m_tree.clear();
  std::array<QTreeWidgetItem*, kCategoryCount> nodes{};
  std::array<size_t, kCategoryCount> totals{};
  for (size_t i = 0; i < kCategoryCount; ++i) {
    auto* node = new QTreeWidgetItem(&m_tree);
    node->setData(0, kNameRole, QLatin1String(kNodeNames[i]));
    node->setFlags(node->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
    node->setCheckState(0, Qt::Unchecked);
    nodes[i] = node;
  }
  for (const auto& [extension, records] : groups) {
    if (records.empty()) continue;
    const size_t category = size_t(TypeTreeCategoryOf(extension));
    auto* child = new QTreeWidgetItem(nodes[category]);
    child->setData(0, kNameRole, QStringLiteral("filetype"));
    child->setData(0, kExtensionRole, QString::fromStdString(extension));
    child->setText(0, TypeNodeText(extension, records.size()));
    child->setFlags(child->flags() | Qt::ItemIsUserCheckable);
    child->setCheckState(0, Qt::Unchecked);
    totals[category] += records.size();
  }
  for (size_t i = 0; i < kCategoryCount; ++i) {
    nodes[i]->setText(0, QStringLiteral("%1 (%2)").arg(captions[i]).arg(totals[i]));
    nodes[i]->setExpanded(true);
  }
}

QTreeWidgetItem* CTypeTree::CategoryNode(const char* name) const {
  for (int i = 0; i < m_tree.topLevelItemCount(); ++i)
    if (m_tree.topLevelItem(i)->data(0, kNameRole).toString() == QLatin1String(name))
      return m_tree.topLevelItem(i);
  return nullptr;
}

bool CTypeTree::IsTypeNode(const QTreeWidgetItem* node) {
  return node && node->data(0, kNameRole).toString() == QLatin1String("filetype");
}

std::string CTypeTree::ExtensionOf(const QTreeWidgetItem* node) {
  return IsTypeNode(node) ? node->data(0, kExtensionRole).toString().toStdString() : std::string();
}

std::vector<std::string> CTypeTree::ExtensionsOf(const QTreeWidgetItem* node) {
  std::vector<std::string> extensions;
  if (!node) return extensions;
  if (IsTypeNode(node)) {
    extensions.push_back(ExtensionOf(node));
    return extensions;
  }
  for (int i = 0; i < node->childCount(); ++i) extensions.push_back(ExtensionOf(node->child(i)));
  return extensions;
}

}  // namespace brinvale::ui
