#pragma once

#include <QFrame>
#include <QString>
#include <vector>

#include "app/message_table.h"

class QPushButton;

namespace brinvale::ui {

// The assist menu under `BtnAssist`, built from the skin's "menu_assist.xml"
// with the texts of the "MenuWnd" section: help, FAQ, about, support, the
// offered languages under `item_language` (the current one marked with the
// skin's point picture) and exit. A click reports the item and closes the
// menu. Interface thread only.
class CAssistMenu : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kWidth = 160;

  // Borrows `texts`. A pop-up of `owner`.
  CAssistMenu(MessageTable& texts, QWidget* owner);

  // The object name of the entry of language `name` ("language_German").
  static QString LanguageEntryName(const std::string& name);
  // Shows the menu with its top-left corner at `globalPos`.
  void PopUp(const QPoint& globalPos);

 signals:
  // `item_help`, `item_faq`, `item_about`, `item_support` or `item_exit`.
  void itemChosen(const QString& item);
  // A language entry: the language's name ("German").
  void languageChosen(const QString& name);

 private:
  MessageTable& m_texts;
  QWidget* m_form = nullptr;
};

}  // namespace brinvale::ui
