#include "app/message_box_kinds.h"

#include <gtest/gtest.h>

namespace brinvale {
namespace {

TEST(MessageBoxKinds, QuestionAndWarningHaveTheirOwnLayoutsAndTitles) {
  EXPECT_EQ(MessageBoxStyleOf(4).skinFile, "MessageBox_Question.xml");
  EXPECT_EQ(MessageBoxStyleOf(4).titleKey, "MSG0404");
  EXPECT_EQ(MessageBoxStyleOf(3).skinFile, "MessageBox_Warning.xml");
  EXPECT_EQ(MessageBoxStyleOf(3).titleKey, "MSG0405");
}

TEST(MessageBoxKinds, ErrorConfirmAndInformation) {
  EXPECT_EQ(MessageBoxStyleOf(0).skinFile, "MessageBox_Error.xml");
  EXPECT_EQ(MessageBoxStyleOf(0).titleKey, "MSG0401");
  EXPECT_EQ(MessageBoxStyleOf(1).skinFile, "MessageBox_Confirm.xml");
  EXPECT_EQ(MessageBoxStyleOf(1).titleKey, "MSG0402");
  EXPECT_EQ(MessageBoxStyleOf(2).skinFile, "MessageBox_Information.xml");
  EXPECT_EQ(MessageBoxStyleOf(2).titleKey, "MSG0403");
}

TEST(MessageBoxKinds, NumbersNameTheirKinds) {
  EXPECT_EQ(MessageBoxKindOf(0), MessageBoxKind::kError);
  EXPECT_EQ(MessageBoxKindOf(1), MessageBoxKind::kConfirm);
  EXPECT_EQ(MessageBoxKindOf(2), MessageBoxKind::kInformation);
  EXPECT_EQ(MessageBoxKindOf(3), MessageBoxKind::kWarning);
  EXPECT_EQ(MessageBoxKindOf(4), MessageBoxKind::kQuestion);
  EXPECT_EQ(MessageBoxStyleOf(MessageBoxKind::kQuestion).kind, MessageBoxKind::kQuestion);
}

TEST(MessageBoxKinds, AnyOtherKindIsAnErrorBox) {
  for (int kind : {-1, 5, 6, 100, -9527}) {
    EXPECT_EQ(MessageBoxKindOf(kind), MessageBoxKind::kError) << kind;
    EXPECT_EQ(MessageBoxStyleOf(kind).skinFile, "MessageBox_Error.xml") << kind;
    EXPECT_EQ(MessageBoxStyleOf(kind).titleKey, "MSG0401") << kind;
  }
  EXPECT_EQ(MessageBoxStyleOf(MessageBoxKind(7)).skinFile, "MessageBox_Error.xml");
}

}  // namespace
}  // namespace brinvale
