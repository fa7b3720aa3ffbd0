#pragma once

#include <QString>
#include <QTreeWidget>
#include <array>
#include <string>
#include <vector>

#include "results/type_view.h"

namespace brinvale::ui {

// The category a type-tree extension group goes under: the first of the
// photo, audio, video, document and archive lists that holds it, else
// Other ("unknow" always).
FileCategory TypeTreeCategoryOf(const std::string& extension);

// The text of an extension's node: "%s Files (%d)" with the extension and
// its number of files; the group "unknow" as "%s (%d)".
QString TypeNodeText(const std::string& extension, size_t count);

// The type tree of the results page (`TypeTree`): six category nodes
// (NodePhoto, NodeAudio, NodeVideo, NodeOffice, NodeZip, NodeOther), each
// with one "filetype" node per extension group of its category, with check
// boxes. Interface thread only.
class CTypeTree {
 public:
  // The names of the category nodes, in FileCategory order.
  static const std::array<const char*, kCategoryCount> kNodeNames;

  // Borrows `tree`.
  explicit CTypeTree(QTreeWidget& tree) : m_tree(tree) {}

  // Empties the tree and fills it from `groups`: each category node is
  // labelled "%s (%d)" with its caption (`captions`, in FileCategory
  // order) and the sum of its children's counts.
  void Fill(const ExtensionGroups& groups, const std::array<QString, kCategoryCount>& captions);
  void Clear();

  // The category node named `name` ("NodePhoto"); null when the tree is
  // empty.
  QTreeWidgetItem* CategoryNode(const char* name) const;
  // The extension of a "filetype" node; empty for a category node.
  static std::string ExtensionOf(const QTreeWidgetItem* node);
  static bool IsTypeNode(const QTreeWidgetItem* node);
  // The extension groups of a node: its own, or, for a category, all of its
  // children's.
  static std::vector<std::string> ExtensionsOf(const QTreeWidgetItem* node);

 private:
  QTreeWidget& m_tree;
};

}  // namespace brinvale::ui
