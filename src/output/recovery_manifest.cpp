#include "output/recovery_manifest.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/error_codes.h"
#include "common/json_writer.h"
#include "common/work_crew.h"
#include "output/file_checksum.h"
#include "platform/clock.h"
#include "platform/file_contents.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/carved_condition.h"
#include "results/record_times.h"
#include "results/target_paths.h"

namespace brinvale {
namespace {

// What is in a written file: its size and SHA-256.
struct WrittenFile {
  bool exists = false;
  uint64_t size = 0;
  std::string sha256;
};

WrittenFile ReadBack(const std::filesystem::path& path) {
  WrittenFile file;
  file.exists = ChecksumFile(path, file.size, file.sha256) == kOk;
  return file;
}

// A UTC FILETIME as "2024-05-01T13:45:10Z"; "" for none.
std::string IsoTime(uint64_t fileTime) {
  if (fileTime == 0) return {};
  const platform::SystemTime t = platform::FileTimeToSystemTime(fileTime);
  if (t.year > 9999) {  // past what four digits hold: printed whole
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
  }
  std::string text = "0000-00-00T00:00:00Z";
  auto put = [&text](size_t at, unsigned value, size_t digits) {
    for (size_t i = digits; i-- > 0; value /= 10) text[at + i] = char('0' + value % 10);
  };
  put(0, unsigned(t.year), 4);
  put(5, unsigned(t.month), 2);
  put(8, unsigned(t.day), 2);
  put(11, unsigned(t.hour), 2);
  put(14, unsigned(t.minute), 2);
  put(17, unsigned(t.second), 2);
  return text;
}

// One row, as both forms write it.
struct Row {
  std::string path;
  WrittenFile written;
  std::string engine, mediumPath, condition, result;
  bool hasSector = false;
  uint64_t sector = 0;
  std::string created, accessed, modified;
};

// Whether `rest`, the text after a folder and its separator, is a path of
// plain components as lexically_relative would give it back: no empty
// component, no other spelling of the separator, not leading out of the
// folder.
bool IsPlainRest(std::string_view rest) {
  constexpr char kSeparator = char(std::filesystem::path::preferred_separator);
  if (rest.empty() || rest.front() == kSeparator || rest.back() == kSeparator) return false;
  const char doubled[] = {kSeparator, kSeparator};
  if (rest.find(std::string_view(doubled, 2)) != std::string_view::npos) return false;
  if (kSeparator != '/' && rest.find('/') != std::string_view::npos) return false;
  const std::string_view first = rest.substr(0, rest.find(kSeparator));
  return first != "..";
}

// `target` relative to `folder` (whose text is `folderText`), as text. A
// target the recovery made below the folder is cut from its own text; any
// other goes through lexically_relative, and one outside the folder stays
// whole.
std::string RelativeText(const std::filesystem::path& target, const std::filesystem::path& folder,
                         std::string_view folderText) {
  constexpr char kSeparator = char(std::filesystem::path::preferred_separator);
  std::string text = platform::PathToUtf8(target);
  // A folder that ends in a separator or a drive's colon is left to
  // lexically_relative, which knows roots.
  if (!folderText.empty() && folderText.back() != kSeparator && folderText.back() != '/' &&
      folderText.back() != ':' &&
      text.size() > folderText.size() + 1 && text.compare(0, folderText.size(), folderText) == 0 &&
      text[folderText.size()] == kSeparator &&
      IsPlainRest(std::string_view(text).substr(folderText.size() + 1))) {
    text.erase(0, folderText.size() + 1);
    return text;
  }
  std::filesystem::path relative = target.lexically_relative(folder);
  if (relative.empty() || *relative.begin() == "..") return text;
  return platform::PathToUtf8(relative);
}

// Every field of a row but its condition, which comes from the engines.
void FillRow(const std::filesystem::path& folder, std::string_view folderText,
             const RecoveredFile& file, Row& row) {
  std::error_code ec;
  row.path = RelativeText(file.target, folder, folderText);
  // A digest taken by the write that made the file is what is in it. One
  // noted as the file was written stands while the file still has that
  // size; any other file is read back.
  if (file.written && file.written->exact) {
    row.written = {true, file.written->size, file.written->sha256};
  } else {
    const uint64_t size = std::filesystem::file_size(file.target, ec);
    if (!ec && file.written && file.written->size == size)
      row.written = {true, size, file.written->sha256};
    else if (!ec)
      row.written = ReadBack(file.target);
  }
  if (file.origin) {
    const ScanRecord& record = file.origin->record;
    row.engine = EngineName(record);
    row.mediumPath = file.origin->mediumPath;
    row.hasSector = true;
    row.sector = record.MetadataSector();
    const RecordTimes times = TimesOfRecord(record);
    row.created = IsoTime(times.created);
    row.accessed = IsoTime(times.accessed);
    row.modified = IsoTime(times.written);
  }
  if (file.error == kOk)
    row.result = "Success";
  else if (row.written.exists && row.written.size > 0)
    row.result = "Partial: " + platform::SystemErrorMessage(file.error);
  else
    row.result = platform::SystemErrorMessage(file.error);
}

// Rows filled in per part of the crew.
constexpr size_t kRowsPerPart = 64;

// The rows of `files`. The engines give conditions to one thread at a
// time, so part 0, which the calling thread takes, asks every condition in
// order; the other parts fill in the rest of the rows on whichever member
// of `crew` is free.
std::vector<Row> RowsOf(WorkCrew& crew, const std::filesystem::path& folder,
                        const std::vector<RecoveredFile>& files, const ConditionOf& conditionOf) {
  std::vector<Row> rows(files.size());
  const std::string folderText = platform::PathToUtf8(folder);
  const size_t fillParts = (files.size() + kRowsPerPart - 1) / kRowsPerPart;
  crew.Run(1 + fillParts, [&](size_t part) {
    if (part == 0) {
      if (conditionOf)
        for (size_t i = 0; i < files.size(); ++i)
          if (files[i].origin) rows[i].condition = conditionOf(files[i].origin->record);
      return;
    }
    const size_t first = (part - 1) * kRowsPerPart;
    const size_t end = std::min(first + kRowsPerPart, files.size());
    for (size_t i = first; i < end; ++i) FillRow(folder, folderText, files[i], rows[i]);
  });
  return rows;
}

// RFC 4180: a field with a comma, quote or line break is quoted, its
// quotes doubled.
void CsvField(std::string& out, std::string_view field) {
  const bool plain = std::none_of(field.begin(), field.end(), [](char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
  });
  if (plain) {
    out += field;
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

constexpr const char* kColumns[] = {"path",      "size",     "sha256",  "engine",
                                    "medium_path", "sector", "created", "accessed",
                                    "modified",  "condition", "result"};

// About what one row takes in either form, for reserving the text.
constexpr size_t kRowBytesGuess = 320;

std::string CsvText(const std::vector<Row>& rows) {
  std::string out;
  out.reserve((rows.size() + 1) * kRowBytesGuess);
  for (size_t i = 0; i < std::size(kColumns); ++i) {
    if (i > 0) out += ',';
    out += kColumns[i];
  }
  out += "\r\n";
  for (const Row& r : rows) {
    const std::string size = r.written.exists ? std::to_string(r.written.size) : "";
    const std::string sector = r.hasSector ? std::to_string(r.sector) : "";
    const std::string_view fields[] = {r.path,    size,       r.written.sha256, r.engine,
                                       r.mediumPath, sector,  r.created,        r.accessed,
                                       r.modified, r.condition, r.result};
    for (size_t i = 0; i < std::size(fields); ++i) {
      if (i > 0) out += ',';
      CsvField(out, fields[i]);
    }
    out += "\r\n";
  }
  return out;
}

void JsonOptional(JsonWriter& json, std::string_view key, const std::string& value) {
  if (value.empty())
    json.Null(key);
  else
    json.String(key, value);
}

std::string JsonText(const std::vector<Row>& rows) {
  JsonWriter json;
  json.Reserve((rows.size() + 1) * 2 * kRowBytesGuess);
  json.BeginObject();
  json.BeginArray("files");
  for (const Row& r : rows) {
    json.BeginObject();
    json.String("path", r.path);
    if (r.written.exists) {
      json.Unsigned("size", r.written.size);
      json.String("sha256", r.written.sha256);
    } else {
      json.Null("size");
      json.Null("sha256");
    }
    JsonOptional(json, "engine", r.engine);
    JsonOptional(json, "medium_path", r.mediumPath);
    if (r.hasSector)
      json.Unsigned("sector", r.sector);
    else
      json.Null("sector");
    JsonOptional(json, "created", r.created);
    JsonOptional(json, "accessed", r.accessed);
    JsonOptional(json, "modified", r.modified);
    JsonOptional(json, "condition", r.condition);
    json.String("result", r.result);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  std::string text = json.TakeText();
  text += '\n';
  return text;
}

// The first "recovery.csv", "recovery(1).csv", ... whose .json is free too.
ManifestFiles FreeManifestNames(const std::filesystem::path& folder) {
  std::error_code ec;
  for (unsigned n = 0;; ++n) {
    const std::string stem = n == 0 ? "recovery" : "recovery(" + std::to_string(n) + ")";
    ManifestFiles files{folder / (stem + ".csv"), folder / (stem + ".json")};
    if (!std::filesystem::exists(std::filesystem::symlink_status(files.csv, ec)) &&
        !std::filesystem::exists(std::filesystem::symlink_status(files.json, ec)))
      return files;
  }
}

int WriteText(const std::filesystem::path& path, const std::string& text) {
  return platform::ReplaceFileContents(
      path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace

std::string ManifestCondition(IRidiRedazuvoParse& engine, const ScanRecord& record) {
  if (record.IsFolder()) return {};
  const CarvedVerdict verdict = CarvedVerdictOf(engine, record);
  std::string text(CarvedConditionName(verdict.condition));
  if (verdict.condition == CarvedCondition::kDamaged && verdict.fault != CarvedFault::kNone)
    text += ": " + std::string(CarvedFaultText(verdict.fault));
  return text;
}

std::string EngineName(const ScanRecord& record) {
  switch (record.Engine()) {
    case EngineCode::kQuickNtfs: return "quick NTFS";
    case EngineCode::kQuickFat: return "quick FAT";
    case EngineCode::kFormattedNtfs: return "formatted NTFS";
    case EngineCode::kFormattedFat: return "formatted FAT";
    case EngineCode::kContent: return "content";
  }
  return "engine " + std::to_string(record.EngineValue());
}

int WriteRecoveryManifest(const std::filesystem::path& folder, const RecoveryReport& report,
                          ManifestFiles& written, const ConditionOf& conditionOf) {
  // A large manifest is made on two threads: on a large recovery it is the
  // last work before the recovery ends.
  std::unique_ptr<WorkCrew> crew;
  if (report.files.size() > kRowsPerPart) {
    try {
      crew = std::make_unique<WorkCrew>(2);
    } catch (const std::system_error&) {
    }
  }
  if (!crew) crew = std::make_unique<WorkCrew>(1);
  const std::vector<Row> rows = RowsOf(*crew, folder, report.files, conditionOf);
  written = FreeManifestNames(folder);
  // The two forms are made and written side by side, each whatever becomes
  // of the other.
  int results[2] = {kOk, kOk};  // CSV, JSON
  crew->Run(2, [&](size_t part) {
    try {
      results[part] = part == 0 ? WriteText(written.csv, CsvText(rows))
                                : WriteText(written.json, JsonText(rows));
    } catch (...) {
      results[part] = platform::SystemErrorFromCurrentException();
    }
  });
  return results[0] != kOk ? results[0] : results[1];
}

}  // namespace brinvale
