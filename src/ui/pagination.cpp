#include "ui/pagination.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace brinvale::ui {

std::vector<int> PageButtonWindow(int pages, int current, int buttons) {
  std::vector<int> entries;
  if (pages <= 0) return entries;
  buttons = std::max(buttons, 1);
  current = std::clamp(current, 1, pages);
  if (pages <= buttons) {
    for (int page = 1; page <= pages; ++page) entries.push_back(page);
    return entries;
  }
  const int h = (buttons - 1) / 2;
  int first = 0;
  if (current <= h + 1)
    first = 1;
  else if (current >= pages - h)
    first = pages - buttons + 1;
  else
    first = current - h;
  if (first > 1) entries.push_back(0);
  for (int page = first; page < first + buttons; ++page) entries.push_back(page);
  if (first + buttons - 1 < pages) entries.push_back(0);
  return entries;
}

Pagination::Pagination(QWidget* parent) : QWidget(parent) {
  m_row = new QHBoxLayout(this);
  m_row->setContentsMargins(0, 0, 0, 0);
  m_row->setSpacing(4);
  m_prev = new QPushButton(QStringLiteral("Prev"), this);
  m_prev->setObjectName(QStringLiteral("Prev"));
  m_next = new QPushButton(QStringLiteral("Next"), this);
  m_next->setObjectName(QStringLiteral("Next"));
  m_group = new QButtonGroup(this);
  m_group->setObjectName(QStringLiteral("PAGINATION"));
  m_group->setExclusive(true);
  m_row->addStretch(1);
  m_row->addWidget(m_prev);
  m_row->addWidget(m_next);
  connect(m_prev, &QPushButton::clicked, this, &Pagination::GoToPrevious);
  connect(m_next, &QPushButton::clicked, this, &Pagination::GoToNext);
  connect(m_group, &QButtonGroup::idClicked, this, &Pagination::GoToPage);
  Redraw();
}

QStringList Pagination::EntryTexts() const {
  QStringList texts;
  for (QWidget* entry : m_entries) {
    if (auto* button = qobject_cast<QPushButton*>(entry))
      texts << button->text();
    else if (auto* label = qobject_cast<QLabel*>(entry))
      texts << label->text();
  }
  return texts;
}

void Pagination::SetPageCount(int pages) {
  m_pages = std::max(pages, 0);
  m_current = m_pages > 0 ? 1 : 0;
  Redraw();
}

void Pagination::SetButtonCount(int buttons) {
  m_buttons = std::max(buttons, 1);
  Redraw();
}

void Pagination::GoToPage(int page) {
  if (page < 1 || page > m_pages || page == m_current) return;
  m_current = page;
  Redraw();
  emit updatePage(page);
}

void Pagination::Redraw() {
  for (QWidget* entry : m_entries) {
    if (auto* button = qobject_cast<QPushButton*>(entry)) m_group->removeButton(button);
    // Deleted later: the button clicked may be among them.
    entry->setObjectName(QString());
    entry->hide();
    entry->deleteLater();
  }
  m_entries.clear();
  // The entries go between "Prev" and "Next".
  int at = m_row->indexOf(m_next);
  for (int page : PageButtonWindow(m_pages, m_current, m_buttons)) {
    QWidget* entry = nullptr;
    if (page == 0) {
      entry = new QLabel(QStringLiteral("..."), this);
    } else {
      auto* button = new QPushButton(QString::number(page), this);
      button->setObjectName(QStringLiteral("Page%1").arg(page));
      button->setCheckable(true);
      button->setChecked(page == m_current);
      button->setFixedWidth(kButtonWidth);
      m_group->addButton(button, page);
      entry = button;
    }
    m_row->insertWidget(at++, entry);
    m_entries.push_back(entry);
  }
  m_prev->setEnabled(m_current > 1);
  m_next->setEnabled(m_current < m_pages);
}

}  // namespace brinvale::ui
