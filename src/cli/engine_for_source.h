#pragma once

#include <memory>
#include <string>

#include "app/scan_source.h"
#include "cli/source_spec.h"
#include "engines/engine_factory.h"

namespace brinvale::cli {

// The source tag written into the records of an image source.
inline constexpr char16_t kImageSourceTag = 1;

// Makes the engine for a source through the factory: the image, the whole
// disk, or the partition given by start and count. `fileSystem` names what
// was recognised at the start ("FAT", "NTFS", "Ext", "unknown"). Null with
// `error` set to a sentence for the user when no engine can be made.
std::unique_ptr<IRidiRedazuvoParse> EngineForSource(const SourceSpec& source, ScanMode mode,
                                                    const EngineSetup& setup,
                                                    std::string& fileSystem, std::string& error);

// The source a job sees for `source`: the image with kImageSourceTag, or
// the disk's sectors as a partition without a drive letter (key 0).
ScanSource ScanSourceForSpec(const SourceSpec& source);

}  // namespace brinvale::cli
