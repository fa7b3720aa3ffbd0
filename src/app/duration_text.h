#pragma once

#include <cstdint>
#include <string>

namespace brinvale {

// Time left as the progress windows show it: "%d Hour %d Min" from an hour
// on, "%d Min %d Sec" from a minute on, else "%d Sec" (also for negative
// values).
std::string DurationText(int64_t seconds);

}  // namespace brinvale
