#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/file_categories.h"
#include "results/scan_record.h"

// The view of found files by type: search results grouped by normalised
// extension, and the six category nodes the main window shows for them.
namespace brinvale {

// Normalised extension -> the records with it (pointers into the result list
// given to GroupByExtension, which must outlive the map).
using ExtensionGroups = std::map<std::string, std::vector<const ScanRecord*>>;

// The group of a name without an extension.
inline constexpr std::string_view kUnknownExtension = "unknow";

// The group a file name belongs to: its lower-cased extension with aliases
// joined (jpeg->jpg, tiff->tif, scr->pcx, midi->mid, m4p->m4a, docx->doc,
// xlsx->xls, pptx->ppt, htm->html), or "unknow" without one.
std::string ExtensionGroupOf(std::string_view name);

// Clears `groups`, then files every record of `results` in order.
void GroupByExtension(const std::vector<ScanRecord>& results, ExtensionGroups& groups);

// The search filter for the ticked extensions: "*.a|*.b|..." in ascending
// order, or the five category lists (photo, audio, video, document,
// archive) when nothing is ticked.
std::string BuildTypeFilter(const std::set<std::string>& tickedExtensions);

inline constexpr size_t kCategoryCount = 6;

// One option of the type filter: an extension, its category and the text
// shown for it, e.g. "JPEG Image (*.jpg)".
struct TypeFilterOption {
  std::string extension;
  FileCategory category;
  std::string text;
};

struct TypeNode {
  std::string extension;
  std::string label;  // "JPEG Image (12)", "QQQ Files (3)", "unknow (2)"
  size_t count = 0;
};

struct CategoryNode {
  std::string label;  // the caption, with " (n)" once it has children
  size_t total = 0;
  std::vector<TypeNode> children;
};

struct TypeView {
  std::array<CategoryNode, kCategoryCount> categories;
  // The first child of the first non-empty category: (category, child).
  std::optional<std::pair<size_t, size_t>> selected;
};

// Builds the six category nodes from the groups. An extension with an
// option goes under that option's category, labelled with the option text
// up to the blank before its "(" and the count; any other extension goes
// under Other as "EXT Files (n)", only when `otherTicked`, with "unknow"
// last. `captions` are the category texts in FileCategory order.
TypeView BuildTypeView(const ExtensionGroups& groups, std::span<const TypeFilterOption> options,
                       bool otherTicked, const std::array<std::string, kCategoryCount>& captions);

}  // namespace brinvale
