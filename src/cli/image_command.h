#pragma once

namespace brinvale::cli {

// `brinvale-cli image SOURCE OUT.img`: copies a whole disk, a partition or an
// image file into OUT.img after the target checks, with a progress line on
// stderr. Ctrl-C stops the copy and leaves the partial file. Exit status 0
// only when every sector was copied; 1 on a failure or a refused target,
// 2 on a usage error or a source that cannot be read, 130 when stopped.
int RunImage(int argc, char** argv);

}  // namespace brinvale::cli
