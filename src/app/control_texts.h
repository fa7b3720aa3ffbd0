#pragma once

#include <string_view>

namespace brinvale {

// The part of a window that the message table fills: the texts of its
// controls, found by control (object) name. The windows implement it, tests
// implement it as a recorder.
class IControlTexts {
 public:
  virtual ~IControlTexts() = default;
  // Sets the text of the control named `control`. A window without such a
  // control ignores the call.
  virtual void SetControlText(std::string_view control, std::string_view text) = 0;
};

}  // namespace brinvale
