#pragma once

#include <functional>

#include "app/job_window.h"
#include "app/message_table.h"

namespace brinvale::ui {

class CPopUpWnd;

// Runs a pop-up modally and answers its close code. The program shows the
// window and waits for it; tests answer through their own runner instead.
using ModalRunner = std::function<int(CPopUpWnd& window)>;

// What every window of the program is given by the one that makes it: the
// interface texts and how modal pop-ups are run. Borrowed; it outlives every
// window. Used on the interface thread, except `texts`, which is safe from
// any thread.
struct UiContext {
  MessageTable& texts;
  ModalRunner runModal;  // empty: the window's own modal loop

  // The "Messages" section, for the jobs.
  MessageLookup Messages() const {
    MessageTable* table = &texts;
    return [table](std::string_view key) { return table->Text("Messages", key); };
  }
};

}  // namespace brinvale::ui
