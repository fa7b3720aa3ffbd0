#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "app/scan_source.h"
#include "results/recovery_engine.h"

namespace brinvale::ui {

// The folder tree of the scanned sources: one top node per source with an
// engine, and below it the folders its engine lists, each labelled with its
// name and the number of files below it. A node's children are asked of the
// engine (ListChildren, CountFiles) only when the node is opened, once.
// Borrows the sources, which must keep their engines while the model shows
// them. Interface thread only, while no job uses the engines.
class CFileTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit CFileTreeModel(QObject* parent = nullptr);
  ~CFileTreeModel() override;

  // Shows the sources of `sources` that have an engine; `names` are their
  // top nodes' texts, in the same order.
  void SetSources(const std::vector<ScanSource*>& sources, const std::vector<QString>& names);
  void Clear() { SetSources({}, {}); }

  // What a node stands for: a source's root (no folder) or a folder.
  struct Place {
    ScanSource* source = nullptr;
    const ScanRecord* folder = nullptr;  // null for the root
    uint32_t depth = 0;                  // what ListChildren takes for its children
  };
  std::optional<Place> PlaceOf(const QModelIndex& index) const;
  // The node's children as the engine lists them, files and folders (asked
  // once, then kept); null for an invalid index or when the engine fails.
  std::shared_ptr<const RecordList> Listing(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  struct Node;
  Node* NodeOf(const QModelIndex& index) const;
  void List(Node& node);

  std::vector<std::unique_ptr<Node>> m_roots;
};

}  // namespace brinvale::ui
