#include "ui/assist_menu.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/control_texts.h"
#include "ui/skin_loader.h"

namespace brinvale::ui {
namespace {

// The menu's item texts, by object name.
class ItemTexts : public IControlTexts {
 public:
  explicit ItemTexts(QWidget& root) : m_root(root) {}
  void SetControlText(std::string_view control, std::string_view text) override {
    const QString name = QString::fromUtf8(control.data(), qsizetype(control.size()));
    if (auto* button = m_root.findChild<QAbstractButton*>(name))
      button->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
  }

 private:
  QWidget& m_root;
};

}  // namespace

CAssistMenu::CAssistMenu(MessageTable& texts, QWidget* owner)
    : QFrame(owner, Qt::Popup | Qt::FramelessWindowHint), m_texts(texts) {
  setObjectName(QStringLiteral("MenuWnd"));
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  m_form = LoadSkinLayout(QStringLiteral("menu_assist.xml"), this);
  if (!m_form) return;
  box->addWidget(m_form);
  ItemTexts itemTexts(*m_form);
  texts.ApplySection("MenuWnd", itemTexts);

  for (const char* item : {"item_help", "item_faq", "item_about", "item_support", "item_exit"}) {
    if (auto* button = m_form->findChild<QPushButton*>(QLatin1String(item)))
      connect(button, &QPushButton::clicked, this, [this, name = QString::fromLatin1(item)] {
        hide();
        emit itemChosen(name);
      });
  }
  // The languages go right below their heading.
  auto* heading = m_form->findChild<QPushButton*>(QStringLiteral("item_language"));
  auto* layout = qobject_cast<QVBoxLayout*>(m_form->layout());
  if (!heading || !layout) return;
  heading->setEnabled(false);
  int at = layout->indexOf(heading) + 1;
  const std::string current = texts.Language();
  const QIcon mark(SkinPath(QStringLiteral("point.png")));
  for (const LanguageEntry& language : texts.Languages()) {
    auto* entry = new QPushButton(QString::fromStdString(language.value), m_form);
    entry->setObjectName(LanguageEntryName(language.name));
    entry->setFlat(true);
    entry->setStyleSheet(QStringLiteral("padding-left: 28px;"));
    const bool isCurrent = QString::fromStdString(language.name)
                               .compare(QString::fromStdString(current), Qt::CaseInsensitive) == 0;
    entry->setCheckable(true);
    entry->setChecked(isCurrent);
    if (isCurrent) entry->setIcon(mark);
    layout->insertWidget(at++, entry);
    connect(entry, &QPushButton::clicked, this,
            [this, name = QString::fromStdString(language.name)] {
              hide();
              emit languageChosen(name);
            });
  }
  adjustSize();
  resize(kWidth, sizeHint().height());
}

QString CAssistMenu::LanguageEntryName(const std::string& name) {
  return QStringLiteral("language_") + QString::fromStdString(name);
}

void CAssistMenu::PopUp(const QPoint& globalPos) {
  move(globalPos);
  show();
}

}  // namespace brinvale::ui
