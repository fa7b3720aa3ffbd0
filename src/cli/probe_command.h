#pragma once

#include <string>

#include "cli/source_spec.h"
#include "engines/volume_recognition.h"

namespace brinvale::cli {

// Reads the first 16 KiB of the source and recognises its file system.
// Returns 0 with `kind` set, or a system error code with `error` a sentence
// for the user.
int ProbeSource(const SourceSpec& source, VolumeKind& kind, std::string& error);

// `brinvale-cli probe SOURCE`: prints NTFS, FAT, Ext or unknown. Exit
// status 0, or 2 on a usage error or a source that cannot be read.
int RunProbe(int argc, char** argv);

}  // namespace brinvale::cli
