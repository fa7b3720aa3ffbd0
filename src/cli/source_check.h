#pragma once

#include <string>

#include "cli/source_spec.h"

namespace brinvale::cli {

// Checks that SOURCE can be read before anything else is done with it: an
// image path that names a file (not a folder), a disk that opens, and a
// partition whose sectors lie within its disk. Returns 0, or a system error
// code with `error` a sentence for the user.
int CheckSource(const SourceSpec& source, std::string& error);

}  // namespace brinvale::cli
