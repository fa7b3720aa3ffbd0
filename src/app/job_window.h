#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/job_state.h"

namespace brinvale {

// The window a job reports to: the desktop program's progress windows, the
// command line's terminal, or a recorder in tests. A job calls it from its
// worker thread; an implementation that owns widgets hands each call to its
// interface thread (queued) and never blocks the worker on it, except in Ask.
// Control names are the names the window's layout gives its controls; a
// control the window does not have is passed over.
class IJobWindow {
 public:
  virtual ~IJobWindow() = default;

  // Sets the text (UTF-8) of the control named `control`.
  virtual void SetText(std::string_view control, const std::string& text) = 0;
  virtual void SetVisible(std::string_view control, bool visible) = 0;
  // Sets a progress bar, 0 to 100.
  virtual void SetProgress(std::string_view control, int percent) = 0;
  // Adds a row of `cells` (UTF-8, one per column) to the list control
  // `control`: at its top or at its bottom, in `color` (0xAARRGGBB; 0 for
  // the list's own colour).
  virtual void AddRow(std::string_view control, const std::vector<std::string>& cells, bool atTop,
                      uint32_t color) = 0;
  // Hides or shows the window itself (around a question owned by its parent).
  virtual void ShowWindow(bool shown) = 0;
  // Asks a question in a message box of `kind` (0 error, 1 confirm,
  // 2 information, 3 warning, 4 question) and waits for the answer: 1 for
  // yes or OK, anything else for no or closed.
  virtual int Ask(int kind, const std::string& text) = 0;
  // Posts `message` (kScanFinishedMessage, kSearchFinishedMessage) to the
  // parent window; does not wait.
  virtual void PostToParent(int message) = 0;
  // Asks the window to close with `code`; does not wait.
  virtual void Close(CloseCode code) = 0;
};

// The message box kind of a question.
inline constexpr int kQuestionBoxKind = 4;

// The texts of the "Messages" section of the message table, by key.
using MessageLookup = std::function<std::string(std::string_view key)>;

// The text of `key`; empty without a lookup.
inline std::string Text(const MessageLookup& messages, std::string_view key) {
  return messages ? messages(key) : std::string();
}

}  // namespace brinvale
