#include "cli/cli_messages.h"

#include "app/message_table.h"
#include "app/message_table_files.h"

namespace brinvale::cli {

MessageLookup CliMessages() {
  static MessageTable table(DefaultMessageTableFiles());
  return [](std::string_view key) { return table.Text("Messages", key); };
}

}  // namespace brinvale::cli
