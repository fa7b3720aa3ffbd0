#include "app/message_box_kinds.h"

#include <iterator>

#include "app/message_keys.h"

namespace brinvale {
namespace {

// One row per kind, in kind order.
// clang-format off
constexpr MessageBoxStyle kStyles[] = {
    // kind                         skin file                     title
    {MessageBoxKind::kError,       "MessageBox_Error.xml",       MessageOf("MSG0401").key},
    {MessageBoxKind::kConfirm,     "MessageBox_Confirm.xml",     MessageOf("MSG0402").key},
    {MessageBoxKind::kInformation, "MessageBox_Information.xml", MessageOf("MSG0403").key},
    {MessageBoxKind::kWarning,     "MessageBox_Warning.xml",     MessageOf("MSG0405").key},
    {MessageBoxKind::kQuestion,    "MessageBox_Question.xml",    MessageOf("MSG0404").key},
};
// clang-format on

constexpr bool InKindOrder() {
  for (size_t i = 0; i < std::size(kStyles); ++i)
    if (int(kStyles[i].kind) != int(i)) return false;
  return true;
}
static_assert(InKindOrder());

}  // namespace

MessageBoxKind MessageBoxKindOf(int kind) {
  if (kind < 0 || kind >= int(std::size(kStyles))) return MessageBoxKind::kError;
  return MessageBoxKind(kind);
}

const MessageBoxStyle& MessageBoxStyleOf(MessageBoxKind kind) {
  const int index = int(kind);
  if (index < 0 || index >= int(std::size(kStyles))) return kStyles[0];
  return kStyles[index];
}

}  // namespace brinvale
