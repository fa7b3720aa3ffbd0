#include "cli/scan_command.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "app/recovery_window_job.h"
#include "app/scan_history.h"
#include "app/scan_job.h"
#include "app/search_job.h"
#include "cli/cli_messages.h"
#include "cli/engine_for_source.h"
#include "cli/interrupt.h"
#include "common/json_writer.h"
#include "cli/scan_options.h"
#include "cli/scan_units.h"
#include "cli/source_check.h"
#include "cli/source_medium.h"
#include "cli/terminal_text.h"
#include "cli/terminal_window.h"
#include "common/error_codes.h"
#include "common/size_text.h"
#include "device/disk_map.h"
#include "engines/professional_recovery.h"
#include "output/recovery_folder_check.h"
#include "output/recovery_job.h"
#include "output/recovery_manifest.h"
#include "output/same_medium_check.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "results/carved_condition.h"
#include "results/scan_log_check.h"

namespace brinvale::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: brinvale-cli scan SOURCE [--mode quick|full] [--partition N] [--list [--check]]\n"
    "                         [--types LIST]\n"
    "                         [--recover-to DIR [--keep-paths] [--allow-same-medium]]\n"
    "                         [--json] [--resume|--fresh] [--workers N]\n";

std::string SourceText(const SourceSpec& source) {
  switch (source.kind) {
    case SourceSpec::Kind::kImage: return source.imagePath;
    case SourceSpec::Kind::kDisk: return "disk:" + std::to_string(source.diskNumber);
    default:
      return "disk:" + std::to_string(source.diskNumber) + ":" +
             std::to_string(source.startSector) + ":" + std::to_string(source.sectorCount);
  }
}

std::string TimeText(uint64_t fileTime) {
  if (fileTime == 0) return "-";
  platform::SystemTime t = platform::FileTimeToSystemTime(fileTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// A found folder path as the records store it ("\\" between names), with
// the separator of the system the program runs on.
std::string HostSeparators(std::string path) {
  constexpr char kHost = char(std::filesystem::path::preferred_separator);
  if constexpr (kHost != '\\')
    for (char& c : path)
      if (c == '\\') c = kHost;
  return path;
}

// Walks the result tree depth first: `visit`(record, level) for every
// record; folders are entered with the level their children are filed at.
int WalkTree(IRidiRedazuvoParse& engine, const ScanRecord* parent, uint32_t level,
             const std::function<void(const ScanRecord&, uint32_t)>& visit, int depthLeft) {
  RecordList children;
  if (int rc = engine.ListChildren(parent, level, children); rc != kOk) return rc;
  for (const ScanRecord& child : children) {
    visit(child, level);
    if (child.IsFolder() && depthLeft > 0)
      if (int rc = WalkTree(engine, &child, level + 1, visit, depthLeft - 1); rc != kOk) return rc;
  }
  return kOk;
}

// Folders nest at most this deep in a listing; deeper levels come only from
// corrupt directories that point at each other.
constexpr int kMaxListingDepth = 512;

// The partition a listed record came from, for an image of a whole disk.
using PartitionOf = std::function<uint32_t(const ScanRecord&)>;

// Whether the listing tells the condition of `r`, and which: a carved
// file's always (its check step ran); a file found through its file system
// with --check, checked here over the bytes recovery would read for it
// (reading a whole quick scan's files is the cost), else only when known.
std::optional<CarvedVerdict> ListedVerdict(IRidiRedazuvoParse& engine, const ScanRecord& r,
                                           bool check) {
  if (r.Engine() == EngineCode::kContent || check) return CarvedVerdictOf(engine, r);
  return KnownVerdictOf(engine, r);
}

// A file's condition in a listing: "  [complete, N bytes]", "  [damaged:
// why]" or "  [unchecked]"; nothing when it is not known.
std::string ConditionText(IRidiRedazuvoParse& engine, const ScanRecord& r, bool check) {
  const std::optional<CarvedVerdict> known = ListedVerdict(engine, r, check);
  if (!known) return {};
  const CarvedVerdict verdict = *known;
  switch (verdict.condition) {
    case CarvedCondition::kComplete:
      return "  [complete, " + std::to_string(verdict.exactLength) + " bytes]";
    case CarvedCondition::kDamaged:
      return "  [damaged: " + std::string(CarvedFaultText(verdict.fault)) + "]";
    case CarvedCondition::kUnchecked: break;
  }
  return "  [unchecked]";
}

void PrintTree(IRidiRedazuvoParse& engine, const PartitionOf& partitionOf, bool check) {
  WalkTree(
      engine, nullptr, 0,
      [&engine, &partitionOf, check](const ScanRecord& r, uint32_t level) {
        std::string indent(size_t(level) * 2, ' ');
        // Found names are data from the medium: never raw to the terminal.
        const std::string name = TerminalSafe(r.Name());
        std::string where;
        if (partitionOf) {
          const uint32_t n = partitionOf(r);
          where = n == 0 ? "  [unpartitioned]" : "  [partition " + std::to_string(n) + "]";
        }
        if (r.IsFolder()) {
          std::printf("%s%s/%s\n", indent.c_str(), name.c_str(), where.c_str());
          return;
        }
        std::printf("%s%s  %" PRIu64 " bytes  %s%s%s%s\n", indent.c_str(), name.c_str(),
                    r.FileSize(), TimeText(r.Written()).c_str(),
                    r.ContentCheck() == 0 ? "  [content does not match the extension]" : "",
                    ConditionText(engine, r, check).c_str(), where.c_str());
      },
      kMaxListingDepth);
}

void JsonTree(IRidiRedazuvoParse& engine, JsonWriter& json, const PartitionOf& partitionOf,
              bool check) {
  WalkTree(
      engine, nullptr, 0,
      [&engine, &json, &partitionOf, check](const ScanRecord& r, uint32_t) {
        std::string folder;
        engine.GetRecordPath(r, folder, 4096);
        folder = HostSeparators(std::move(folder));
        json.BeginObject();
        json.String("name", r.Name());
        json.String("folder", folder);
        if (partitionOf) {
          const uint32_t n = partitionOf(r);
          if (n == 0)
            json.Null("partition");
          else
            json.Unsigned("partition", n);
        }
        json.Bool("is_folder", r.IsFolder());
        if (!r.IsFolder()) {
          json.Unsigned("size", r.FileSize());
          json.String("modified", TimeText(r.Written()));
          json.Bool("content_matches", r.ContentCheck() != 0);
          if (const auto known = ListedVerdict(engine, r, check)) {
            const CarvedVerdict verdict = *known;
            json.String("condition", std::string(CarvedConditionName(verdict.condition)));
            if (verdict.condition == CarvedCondition::kComplete)
              json.Unsigned("exact_size", verdict.exactLength);
            // Only where recovery stops there: a stream end past the
            // file's size lies in its last sector's slack.
            if (verdict.condition == CarvedCondition::kUnchecked && verdict.streamEnd != 0 &&
                RecoveredLength(verdict, r.FileSize()) == verdict.streamEnd)
              json.Unsigned("stream_end", verdict.streamEnd);
            if (verdict.condition == CarvedCondition::kDamaged)
              json.String("damage", std::string(CarvedFaultText(verdict.fault)));
          }
        }
        json.EndObject();
      },
      kMaxListingDepth);
}

// The answer to a yes/no question on the terminal; an empty line is yes.
bool AskYes(const char* question) {
  std::fputs(question, stderr);
  std::fflush(stderr);
  char line[64] = {};
  if (std::fgets(line, sizeof line, stdin) == nullptr) return false;
  return line[0] != 'n' && line[0] != 'N';
}

// What is wrong with an earlier scan's logs, for a message.
std::string DamageText(const ScanLogVerdict& verdict, uint64_t recorded) {
  switch (verdict.state) {
    case ScanLogState::kIntact: return "none";
    case ScanLogState::kNoCheck: return "no check of them was recorded";
    case ScanLogState::kFileMissing: return verdict.file + " is missing";
    case ScanLogState::kFileAdded: return verdict.file + " was not part of that scan";
    case ScanLogState::kLengthDiffers: return verdict.file + " changed its length";
    case ScanLogState::kContentDiffers: return verdict.file + " changed its content";
    case ScanLogState::kRecordCount:
      return "they hold " + std::to_string(verdict.records) + " records where " +
             std::to_string(recorded) + " were recorded";
  }
  return "unknown";
}

// What an earlier scan of the medium was, for the messages about it.
std::string EarlierScanFacts(const CProfessionalRecovery& scan) {
  const ResumePoint& earlier = scan.EarlierScan().resume;
  return std::to_string(earlier.doneTotal) + " sectors read, " +
         std::to_string(earlier.filesFound) + " files found";
}

// Settles, before the scan job asks, what can be settled without the user:
// damaged logs are never continued, --fresh and a non-interactive run start
// afresh, --resume continues. Only a run at a terminal without either flag
// leaves the earlier scan on offer, for the scan job's question. False
// when it cannot do as asked: --resume over damaged logs.
bool SettleEarlierScan(CProfessionalRecovery& scan, ResumeChoice choice) {
  if (scan.EarlierScanDamaged()) {
    const std::string why = DamageText(scan.EarlierLogs(), scan.EarlierScan().resume.filesFound);
    if (choice == ResumeChoice::kResume) {
      std::fprintf(stderr,
                   "brinvale-cli: the earlier full scan of this medium cannot be continued: its "
                   "scan logs are damaged (%s). Run the scan without --resume to start afresh.\n",
                   why.c_str());
      return false;
    }
    if (choice == ResumeChoice::kAsk)
      std::fprintf(stderr,
                   "An earlier full scan of this medium is on record, but its scan logs are "
                   "damaged (%s); starting afresh.\n",
                   why.c_str());
    scan.DeclineEarlierScan();
    return true;
  }
  if (!scan.HasEarlierScan()) {
    if (choice == ResumeChoice::kResume)
      std::fputs("No earlier scan of this medium is on record; a new scan starts.\n", stderr);
    return true;
  }
  const std::string facts = EarlierScanFacts(scan);
  if (choice == ResumeChoice::kResume) {
    std::fprintf(stderr, "Continuing the earlier scan (%s).\n", facts.c_str());
  } else if (choice == ResumeChoice::kFresh) {
    scan.DeclineEarlierScan();
  } else if (!platform::StdinIsTerminal()) {
    std::fprintf(stderr,
                 "An earlier full scan of this medium is on record (%s); starting afresh. "
                 "Use --resume to continue it.\n",
                 facts.c_str());
    scan.DeclineEarlierScan();
  }
  return true;
}

// The checks on where the scan writes, before anything is read or written:
// the recovery folder must be one that can be made, and off the scanned
// medium unless --allow-same-medium; the scan logs should be off it too.
// Returns kExitOk, or the exit status after telling why.
int CheckWhereThingsGo(const ScanOptions& options, const std::filesystem::path& target) {
  // The volume list tells the drive letters and devices of a disk source;
  // an image file needs none of it.
  DiskEnumerator enumerator;
  if (options.source.kind != SourceSpec::Kind::kImage) (void)RefreshDisks(enumerator);
  const ImageSource medium = ImageSourceForSpec(options.source, enumerator.Disks());
  if (!options.recoverTo.empty()) {
    const RecoveryFolderCheck check = CheckRecoveryFolder(target);
    if (check.problem != RecoveryFolderProblem::kNone) {
      std::fprintf(stderr, "brinvale-cli: --recover-to: %s\n",
                   RecoveryFolderSentence(check, options.recoverTo).c_str());
      return kExitUsage;
    }
    if (!options.allowSameMedium && TargetOnSourceMedium(target, medium, enumerator.Disks())) {
      std::fprintf(stderr,
                   "brinvale-cli: %s lies on the medium being scanned (%s): recovering there "
                   "would overwrite the deleted files still to be found. Choose a folder on "
                   "another disk, or give --allow-same-medium to recover there all the same.\n",
                   options.recoverTo.c_str(), SourceText(options.source).c_str());
      return kExitUsage;
    }
    if (int rc = platform::CreateFolders(target); rc != kOk) {
      std::fprintf(stderr, "brinvale-cli: --recover-to: %s cannot be made: %s\n",
                   options.recoverTo.c_str(), platform::SystemErrorMessage(rc).c_str());
      return kExitUsage;
    }
  }
  const std::filesystem::path data = ScanHistory::DefaultBaseFolder();
  if (!data.empty() && TargetOnSourceMedium(data, medium, enumerator.Disks())) {
    const std::string setting = platform::AppDataFolderSetting();
    const std::string advice =
        setting.empty() ? std::string()
                        : " Set " + setting + " to a folder on another disk to keep them elsewhere.";
    std::fprintf(stderr,
                 "brinvale-cli: warning: the scan logs and previews are kept in %s, which lies "
                 "on the medium being scanned (%s); writing them may overwrite deleted files.%s\n",
                 TerminalSafe(platform::PathToUtf8(data)).c_str(),
                 SourceText(options.source).c_str(), advice.c_str());
  }
  return kExitOk;
}

}  // namespace

int RunScan(const std::vector<std::string>& args) {
  std::string error;
  std::optional<ScanOptions> options = ParseScanOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "brinvale-cli: %s\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  const ScanMode mode = options->fullScan ? ScanMode::kFull : ScanMode::kQuick;
  if (CheckSource(options->source, error) != kOk) {
    std::fprintf(stderr, "brinvale-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  // An image of a whole disk is scanned partition by partition.
  ScanPlan plan;
  const bool planned = PlanScanUnits(*options, mode, plan, error);
  if (plan.table.Damaged())
    std::fprintf(stderr,
                 "brinvale-cli: warning: the partition table of %s cannot be trusted whole: %s%s\n",
                 SourceText(options->source).c_str(), plan.table.damage.c_str(),
                 plan.Partitioned() ? "; the partitions that can be are scanned"
                                    : "; the image is scanned whole");
  if (!planned) {
    std::fprintf(stderr, "brinvale-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  for (const std::string& skipped : plan.skipped)
    std::fprintf(stderr, "brinvale-cli: %s: %s\n", SourceText(options->source).c_str(),
                 skipped.c_str());
  const std::filesystem::path target = platform::PathFromUtf8(options->recoverTo);
  if (int rc = CheckWhereThingsGo(*options, target); rc != kExitOk) return rc;
  InstallInterruptHandler();
  const MessageLookup messages = CliMessages();
  const bool draw = !options->json && platform::StderrIsTerminal();

  std::vector<ScanSource*> sources;
  for (ScanUnit& unit : plan.units) sources.push_back(&unit.source);
  auto unitOf = [&](const ScanSource& source) -> ScanUnit& {
    for (ScanUnit& unit : plan.units)
      if (&unit.source == &source) return unit;
    return plan.units.front();
  };
  auto unitByKey = [&](uint16_t key) -> const ScanUnit* {
    for (const ScanUnit& unit : plan.units)
      if (unit.source.Key() == key) return &unit;
    return nullptr;
  };

  // The scan job makes each engine through the command's own maker, which
  // also tells why none could be made and settles the earlier scan.
  std::string facts;
  bool refused = false;
  ScanJobSetup scanSetup;
  scanSetup.sources = sources;
  scanSetup.mode = mode;
  scanSetup.history = &ScanHistory::Instance();
  scanSetup.messages = messages;
  scanSetup.makeEngine = [&](const ScanSource& source, ScanMode m, const EngineSetup& setup) {
    ScanUnit& unit = unitOf(source);
    std::unique_ptr<IRidiRedazuvoParse> engine;
    if (unit.partition != 0) {
      engine = MakeSourceEngine(source, m, setup);
      if (!engine)
        error = "partition " + std::to_string(unit.partition) + " of " +
                SourceText(options->source) + " could not be opened";
    } else {
      std::string fileSystem;
      engine = EngineForSource(options->source, m, setup, fileSystem, error);
      if (!plan.Partitioned()) unit.fileSystem = fileSystem;
    }
    if (auto* full = dynamic_cast<CProfessionalRecovery*>(engine.get())) {
      full->SetPassWorkers(options->workers);
      if (!SettleEarlierScan(*full, options->resume)) {
        refused = true;
        return std::unique_ptr<IRidiRedazuvoParse>();
      }
      if (full->HasEarlierScan()) facts = EarlierScanFacts(*full);
    }
    return engine;
  };
  // The question of a run at a terminal, or --resume's settled yes.
  auto askResume = [&](int, const std::string& question) {
    if (options->resume == ResumeChoice::kResume) return 1;
    const std::string text = (question.empty() ? std::string("Continue it?") : question) + " (" +
                             facts + ") [Y/n] ";
    const bool yes = AskYes(text.c_str());
    if (yes) std::fprintf(stderr, "Continuing the earlier scan (%s).\n", facts.c_str());
    return yes ? 1 : 0;
  };
  const uint32_t startTick = platform::TickCountMs();
  {
    TerminalWindow window(draw, {"percent", "sectors", "totalfile", "time"}, askResume);
    JobState state;
    RunJobInTerminal(state, [&] { RunScanJob(scanSetup, window, state); });
    if (window.Closed() == CloseCode::kFailed) {
      if (!refused)
        std::fprintf(stderr, "brinvale-cli: %s\n",
                     error.empty() ? "the source could not be opened" : error.c_str());
      return kExitUsage;
    }
  }
  const double seconds = (platform::TickCountMs() - startTick) / 1000.0;

  // A stop ends the list; the sources after it have no engine.
  bool cancelled = false;
  std::vector<ScanSource*> scanned;
  size_t failedScans = 0;
  for (ScanUnit& unit : plan.units) {
    if (!unit.source.engine) continue;
    const int rc = unit.source.scanResult;
    if (rc == kCancelled) cancelled = true;
    if (rc != kOk && rc != kCancelled) {
      ++failedScans;
      if (unit.partition != 0)
        std::fprintf(stderr, "brinvale-cli: the scan of partition %u failed: %s\n",
                     unit.partition, platform::SystemErrorMessage(rc).c_str());
      else
        std::fprintf(stderr, "brinvale-cli: the scan failed: %s\n",
                     platform::SystemErrorMessage(rc).c_str());
      // One source that failed is a failure; one partition of several
      // costs only its own results.
      if (plan.units.size() == 1) return kExitUsage;
      continue;
    }
    scanned.push_back(&unit.source);
  }
  if (scanned.empty() && !cancelled) return kExitUsage;

  uint32_t filesFound = 0;
  std::vector<uint32_t> unitFiles(plan.units.size(), 0);
  for (size_t i = 0; i < plan.units.size(); ++i) {
    if (!plan.units[i].source.engine) continue;
    plan.units[i].source.engine->CountFiles(nullptr, 0, unitFiles[i]);
    filesFound += unitFiles[i];
  }

  RecordList matches;
  // A recovery keeping paths takes every found file, folder by folder, and
  // needs no search (it does not go with --types).
  const bool recoverMatches = !options->recoverTo.empty() && !options->keepPaths;
  if (!cancelled && (options->typesGiven || recoverMatches)) {
    TerminalWindow window(draw, {"percent"});
    JobState state;
    RunJobInTerminal(state, [&] {
      RunSearchJob({scanned, options->filter, &matches, messages}, window, state);
    });
    if (state.CancelRequested()) cancelled = true;
  }

  // The partition each found file came from, on an image of a whole disk.
  auto partitionOfUnit = [&](const ScanUnit& unit) -> PartitionOf {
    if (!plan.Partitioned()) return {};
    return [&plan, &unit](const ScanRecord& r) { return RecordPartition(plan, unit, r); };
  };

  RecoveryReport report;
  if (!cancelled && !options->recoverTo.empty()) {
    auto merge = [&report](RecoveryReport part) {
      if (report.files.empty())
        report.files = std::move(part.files);
      else
        report.files.insert(report.files.end(), std::make_move_iterator(part.files.begin()),
                            std::make_move_iterator(part.files.end()));
      report.manifests.insert(report.manifests.end(), part.manifests.begin(),
                              part.manifests.end());
      if (part.manifestError != kOk) report.manifestError = part.manifestError;
      if (part.result != kOk) report.result = part.result;
    };
    if (options->keepPaths) {
      for (ScanSource* source : scanned) {
        const ScanUnit& unit = unitOf(*source);
        // Each partition's folders under a folder named after it.
        const std::filesystem::path folder =
            unit.partition != 0 ? target / PartitionFolderName(unit.partition) : target;
        RecoveryReport part;
        RecoverKeepingPaths(*source->engine, folder, part, &InterruptFlag());
        ManifestFiles manifest;
        IRidiRedazuvoParse& engine = *source->engine;
        part.manifestError = WriteRecoveryManifest(
            folder, part, manifest,
            [&engine](const ScanRecord& r) { return ManifestCondition(engine, r); });
        if (part.manifestError == kOk) part.manifests.push_back(manifest.csv);
        merge(std::move(part));
        if (report.result == kCancelled) break;
      }
    } else {
      // Each partition's files under a folder named after it.
      std::map<uint32_t, RecordList> byPartition;
      for (const ScanRecord& r : matches) {
        if (r.IsFolder()) continue;
        const ScanUnit* unit = unitByKey(uint16_t(r.SourceKey()));
        const uint32_t n =
            plan.Partitioned() && unit != nullptr ? RecordPartition(plan, *unit, r) : 0;
        byPartition[n].push_back(r);
      }
      for (auto& [n, selection] : byPartition) {
        RecoveryJobSetup recovery;
        recovery.selection = std::move(selection);
        recovery.sources = scanned;
        recovery.targetFolder = plan.Partitioned() ? target / PartitionFolderName(n) : target;
        recovery.messages = messages;
        TerminalWindow window(draw, {"recovered", "percent"});
        JobState state;
        RecoveryReport part;
        RunJobInTerminal(state, [&] { part = RunRecoveryWindowJob(recovery, window, state); });
        merge(std::move(part));
        if (report.result == kCancelled) break;
      }
    }
  }
  const bool recoveryCancelled = report.result == kCancelled;

  if (options->json) {
    JsonWriter json;
    json.BeginObject();
    json.String("source", SourceText(options->source));
    json.String("file_system", plan.units.size() == 1 ? plan.units.front().fileSystem : "");
    json.String("mode", options->fullScan ? "full" : "quick");
    json.Bool("cancelled", cancelled || recoveryCancelled);
    json.Unsigned("files_found", filesFound);
    uint64_t records = 0;
    for (ScanSource* source : scanned) records += source->engine->GetRecordCount();
    json.Unsigned("records", records);
    if (options->fullScan) {
      // The time the full scans spent checking their carved files.
      uint64_t checkMs = 0;
      for (ScanSource* source : scanned)
        if (auto* full = dynamic_cast<CProfessionalRecovery*>(source->engine.get()))
          checkMs += full->CheckStepMs();
      json.Unsigned("scan_ms", uint64_t(seconds * 1000.0));
      json.Unsigned("check_ms", checkMs);
    }
    if (plan.Partitioned()) {
      json.BeginObject("partition_table");
      json.String("scheme", PartitionSchemeName(plan.table.scheme));
      json.String("damage", plan.table.damage);
      json.Bool("from_backup", plan.table.fromBackup);
      json.EndObject();
      // Every partition of the table: a source of its own in a quick scan
      // (with its count), or part of the whole medium in a full scan.
      const bool whole = std::any_of(plan.units.begin(), plan.units.end(),
                                     [](const ScanUnit& u) { return u.partition == 0; });
      json.BeginArray("partitions");
      for (const PartitionEntry& p : plan.table.partitions) {
        const auto unit = std::find_if(plan.units.begin(), plan.units.end(),
                                       [&p](const ScanUnit& u) { return u.partition == p.number; });
        if (!whole && options->partition != 0 && unit == plan.units.end()) continue;
        json.BeginObject();
        json.Unsigned("number", p.number);
        json.Unsigned("start", StartIn(plan.table, p, plan.sectorBytes));
        json.Unsigned("length", LengthIn(plan.table, p, plan.sectorBytes));
        json.String("file_system", plan.fileSystems[p.number]);
        if (unit != plan.units.end()) {
          json.Bool("scanned", unit->source.engine != nullptr);
          json.Unsigned("files_found", unitFiles[size_t(unit - plan.units.begin())]);
        } else {
          json.Bool("scanned", whole);
        }
        json.EndObject();
      }
      json.EndArray();
    }
    if (options->typesGiven) json.Unsigned("files_matching", matches.size());
    if (options->list) {
      json.BeginArray("files");
      for (ScanSource* source : scanned)
        JsonTree(*source->engine, json, partitionOfUnit(unitOf(*source)), options->check);
      json.EndArray();
    }
    if (!options->recoverTo.empty()) {
      json.String("recovered_to", options->recoverTo);
      json.Unsigned("recovered", report.Succeeded());
      json.BeginArray("failed");
      for (const RecoveredFile& f : report.files) {
        if (f.error == 0) continue;
        json.BeginObject();
        json.String("path", platform::PathToUtf8(f.target));
        json.Number("error", f.error);
        json.String("message", platform::SystemErrorMessage(f.error));
        json.EndObject();
      }
      json.EndArray();
      json.BeginArray("manifests");
      for (const std::filesystem::path& m : report.manifests)
        json.String({}, platform::PathToUtf8(m));
      json.EndArray();
    }
    json.EndObject();
    std::printf("%s\n", json.Text().c_str());
  } else {
    if (options->list && !cancelled)
      for (ScanSource* source : scanned) {
        const ScanUnit& unit = unitOf(*source);
        if (unit.partition != 0)
          std::printf("Partition %u (%s, sectors %" PRIu64 " to %" PRIu64 "):\n", unit.partition,
                      unit.fileSystem.c_str(), unit.start, unit.start + unit.length - 1);
        PrintTree(*source->engine, partitionOfUnit(unit), options->check);
      }
    if (plan.Partitioned()) {
      for (size_t i = 0; i < plan.units.size(); ++i) {
        const ScanUnit& unit = plan.units[i];
        if (unit.partition == 0 || !unit.source.engine) continue;
        std::printf("  partition %u (%s): %u files found\n", unit.partition,
                    unit.fileSystem.c_str(), unitFiles[i]);
      }
      std::printf("%s scan of %s (%s disk, %zu partitions): %u files found in %.1f s%s\n",
                  options->fullScan ? "Full" : "Quick", SourceText(options->source).c_str(),
                  PartitionSchemeName(plan.table.scheme), plan.table.partitions.size(), filesFound,
                  seconds, cancelled ? " before it was cancelled" : "");
    } else {
      std::printf("%s scan of %s (%s): %u files found in %.1f s%s\n",
                  options->fullScan ? "Full" : "Quick", SourceText(options->source).c_str(),
                  plan.units.front().fileSystem.c_str(), filesFound, seconds,
                  cancelled ? " before it was cancelled" : "");
    }
    if (options->typesGiven) std::printf("%zu files match --types\n", matches.size());
    if (!options->recoverTo.empty() && !cancelled) {
      std::printf("Recovered %zu files into %s", report.Succeeded(), options->recoverTo.c_str());
      if (report.Failed() != 0) std::printf("; %zu failed", report.Failed());
      std::printf("%s\n", recoveryCancelled ? " (recovery cancelled)" : "");
      for (const RecoveredFile& f : report.files) {
        if (f.error == 0) continue;
        std::printf("  failed: %s: %s\n", TerminalSafe(platform::PathToUtf8(f.target)).c_str(),
                    platform::SystemErrorMessage(f.error).c_str());
      }
      for (const std::filesystem::path& m : report.manifests)
        std::printf("Manifest: %s\n", TerminalSafe(platform::PathToUtf8(m)).c_str());
    }
  }
  if (report.manifestError != kOk)
    std::fprintf(stderr, "brinvale-cli: the recovery manifest could not be written: %s\n",
                 platform::SystemErrorMessage(report.manifestError).c_str());
  if (cancelled || recoveryCancelled || report.Failed() != 0 || failedScans != 0 ||
      report.manifestError != kOk)
    return kExitSomeFailed;
  return kExitOk;
}

}  // namespace brinvale::cli
