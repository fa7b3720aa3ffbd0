#pragma once

#include "app/job_window.h"

namespace brinvale::cli {

// The "Messages" section of the program's message table, in the language
// its settings choose, for the texts the jobs show on the terminal. Empty
// texts when the language files are missing.
MessageLookup CliMessages();

}  // namespace brinvale::cli
