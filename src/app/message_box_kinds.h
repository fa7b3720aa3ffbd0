#pragma once

#include <string_view>

// The kinds of message box: the first argument of every message-box call.
// Each kind has its own skin layout and title; the windows and the command
// line share this table.
namespace brinvale {

// Kind 3 is the warning and kind 4 the question, while their title keys run
// the other way (MSG0404 question, MSG0405 warning).
enum class MessageBoxKind {
  kError = 0,
  kConfirm = 1,
  kInformation = 2,
  kWarning = 3,
  kQuestion = 4,
};

struct MessageBoxStyle {
  MessageBoxKind kind;
  // The layout's file name in the skin's "xml" folder ("xml\" + name in the
  // skin archive's terms).
  std::string_view skinFile;
  std::string_view titleKey;  // in the "Messages" section
};

// The kind a caller's number stands for: 0 to 4 as they are, any other
// number an error box.
MessageBoxKind MessageBoxKindOf(int kind);

const MessageBoxStyle& MessageBoxStyleOf(MessageBoxKind kind);
inline const MessageBoxStyle& MessageBoxStyleOf(int kind) {
  return MessageBoxStyleOf(MessageBoxKindOf(kind));
}

}  // namespace brinvale
