#include "results/type_view.h"

#include <algorithm>

#include "results/file_categories.h"

namespace brinvale {
namespace {

struct Alias {
  std::string_view from, to;
};
// Tried in this order; the first match wins.
constexpr Alias kAliases[] = {
    {"jpeg", "jpg"}, {"tiff", "tif"}, {"scr", "pcx"},  {"midi", "mid"}, {"m4p", "m4a"},
    {"docx", "doc"}, {"xlsx", "xls"}, {"pptx", "ppt"}, {"htm", "html"},
};

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

std::string WithCount(std::string_view text, size_t count) {
  return std::string(text) + " (" + std::to_string(count) + ")";
}

}  // namespace

std::string ExtensionGroupOf(std::string_view name) {
  std::string ext = ExtensionOf(name);
  if (ext.empty()) return std::string(kUnknownExtension);
  for (const Alias& a : kAliases)
    if (ext == a.from) return std::string(a.to);
  return ext;
}

void GroupByExtension(const std::vector<ScanRecord>& results, ExtensionGroups& groups) {
  groups.clear();
  for (const ScanRecord& r : results) groups[ExtensionGroupOf(r.Name())].push_back(&r);
}

std::string BuildTypeFilter(const std::set<std::string>& ticked) {
  if (ticked.empty()) {
    return std::string(kPhotoList) + "|" + std::string(kAudioList) + "|" + std::string(kVideoList) +
           "|" + std::string(kDocumentList) + "|" + std::string(kArchiveList);
  }
  std::string filter;
  for (const std::string& ext : ticked) {
    if (!filter.empty()) filter += '|';
    filter += "*." + ext;
  }
  return filter;
}

TypeView BuildTypeView(const ExtensionGroups& groups, std::span<const TypeFilterOption> options,
                       bool otherTicked, const std::array<std::string, kCategoryCount>& captions) {
  TypeView view;
  std::optional<TypeNode> unknown;
  for (const auto& group : groups) {
    const std::string& ext = group.first;
    const auto& records = group.second;
    if (records.empty()) continue;
    auto option = std::find_if(options.begin(), options.end(),
                               [&](const TypeFilterOption& o) { return o.extension == ext; });
    if (option != options.end()) {
      // "JPEG Image (*.jpg)" shows as "JPEG Image": cut one before the "(".
      std::string_view text = option->text;
      size_t paren = text.find('(');
      if (paren != std::string_view::npos) text = text.substr(0, paren == 0 ? 0 : paren - 1);
      view.categories[size_t(option->category)].children.push_back(
          {ext, WithCount(text, records.size()), records.size()});
    } else if (otherTicked) {
      if (ext == kUnknownExtension) {
        unknown = TypeNode{ext, WithCount(ext, records.size()), records.size()};
      } else {
        view.categories[size_t(FileCategory::kOther)].children.push_back(
            {ext, WithCount(Upper(ext) + " Files", records.size()), records.size()});
      }
    }
  }
  if (unknown) view.categories[size_t(FileCategory::kOther)].children.push_back(*unknown);
  for (size_t c = 0; c < kCategoryCount; ++c) {
    CategoryNode& node = view.categories[c];
    for (const TypeNode& child : node.children) node.total += child.count;
    node.label = node.children.empty() ? captions[c] : WithCount(captions[c], node.total);
    if (!view.selected && !node.children.empty()) view.selected = std::make_pair(c, size_t(0));
  }
  return view;
}

}  // namespace brinvale
