#include "output/manifest_reader.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace brinvale {
namespace {

using Record = std::vector<std::string>;

// Splits the text into records of fields; false on an unterminated quote
// or text after a closing quote.
bool SplitCsv(std::string_view text, std::vector<Record>& records, std::string& error) {
  Record record;
  std::string field;
  size_t i = 0;
  bool fieldStarted = false;
  auto endField = [&] {
    record.push_back(std::move(field));
    field.clear();
    fieldStarted = false;
  };
  auto endRecord = [&] {
    endField();
    // A blank line is no record.
    if (!(record.size() == 1 && record[0].empty())) records.push_back(std::move(record));
    record.clear();
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' && !fieldStarted) {
      ++i;
      for (;;) {
        if (i >= text.size()) {
          error = "a quoted field is not closed";
          return false;
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
      fieldStarted = true;
      if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
        error = "text follows a closing quote";
        return false;
      }
      continue;
    }
    if (c == ',') {
      endField();
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      endRecord();
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    field += c;
    fieldStarted = true;
    ++i;
  }
  if (fieldStarted || !record.empty()) endRecord();
  return true;
}

bool IsHexDigest(std::string_view s) {
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace

std::optional<std::vector<ManifestEntry>> ParseManifestCsv(std::span<const uint8_t> bytes,
                                                           std::string& error) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
  std::vector<Record> records;
  if (!SplitCsv(text, records, error)) return std::nullopt;
  if (records.empty()) {
    error = "the file is empty";
    return std::nullopt;
  }
  const Record& header = records.front();
  auto column = [&header](std::string_view name) -> std::optional<size_t> {
    const auto it = std::find(header.begin(), header.end(), name);
    if (it == header.end()) return std::nullopt;
    return size_t(it - header.begin());
  };
  const auto path = column("path"), size = column("size"), sha = column("sha256"),
             result = column("result");
  if (!path || !size || !sha || !result) {
    error = "the header lacks one of the columns path, size, sha256 and result";
    return std::nullopt;
  }
  std::vector<ManifestEntry> entries;
  for (size_t r = 1; r < records.size(); ++r) {
    const Record& row = records[r];
    const std::string line = "row " + std::to_string(r + 1);
    if (row.size() != header.size()) {
      error = line + " has " + std::to_string(row.size()) + " fields, the header " +
              std::to_string(header.size());
      return std::nullopt;
    }
    ManifestEntry entry;
    entry.path = row[*path];
    entry.sha256 = row[*sha];
    entry.result = row[*result];
    const std::string& sizeText = row[*size];
    if (!sizeText.empty()) {
      uint64_t value = 0;
      const auto [end, ec] =
          std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), value);
      if (ec != std::errc() || end != sizeText.data() + sizeText.size()) {
        error = line + ": the size \"" + sizeText + "\" is not a number";
        return std::nullopt;
      }
      entry.size = value;
    }
    if (!entry.sha256.empty() && !IsHexDigest(entry.sha256)) {
      error = line + ": the checksum is not 64 hex digits";
      return std::nullopt;
    }
    if (entry.path.empty()) {
      error = line + " names no file";
      return std::nullopt;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace brinvale
