#pragma once

#include <string>

namespace brinvale::cli {

// "%d Hour %d Min", "%d Min %d Sec" or "%d Sec", as the progress windows
// show time left.
std::string DurationText(int seconds);

}  // namespace brinvale::cli
