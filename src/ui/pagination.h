#pragma once

#include <QWidget>
#include <vector>

class QButtonGroup;
class QHBoxLayout;
class QPushButton;

namespace brinvale::ui {

// What the row of page buttons shows for `pages` pages with `current`
// (from 1) chosen and room for `buttons` page buttons: page numbers in
// order, with 0 where a "..." label stands for pages left out. When all
// pages fit, one button per page. Otherwise, with h = (buttons - 1) / 2,
// the first `buttons` pages and "..." while current <= h + 1; "..." and the
// last `buttons` pages while current >= pages - h; else "...", the pages
// current - h to current - h + buttons - 1, and "...". No pages: nothing.
std::vector<int> PageButtonWindow(int pages, int current, int buttons);

// The row of page buttons under the file list: "Prev", the page buttons
// (option buttons of the group "PAGINATION", 32 pixels wide) with "..."
// labels, and "Next". Every change of page emits updatePage; "Prev" is
// disabled on page 1 and "Next" on the last page. Interface thread only.
class Pagination : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDefaultButtons = 7;
  static constexpr int kButtonWidth = 32;

  explicit Pagination(QWidget* parent = nullptr);

  int PageCount() const { return m_pages; }
  int CurrentPage() const { return m_current; }
  int ButtonCount() const { return m_buttons; }
  // The texts of the row's entries between "Prev" and "Next", in order
  // ("1", "2", "...", ...).
  QStringList EntryTexts() const;

  // Sets the number of pages and goes to page 1 (no signal; the caller
  // shows page 1 itself).
  void SetPageCount(int pages);
  void SetButtonCount(int buttons);
  // Goes to `page` and emits updatePage; a page out of range or the page
  // already shown does nothing.
  void GoToPage(int page);
  void GoToPrevious() { GoToPage(m_current - 1); }
  void GoToNext() { GoToPage(m_current + 1); }

 signals:
  void updatePage(int page);

 private:
  void Redraw();

  int m_pages = 0;
  int m_current = 0;
  int m_buttons = kDefaultButtons;
  QHBoxLayout* m_row = nullptr;
  QPushButton* m_prev = nullptr;
  QPushButton* m_next = nullptr;
  QButtonGroup* m_group = nullptr;
  std::vector<QWidget*> m_entries;  // page buttons and "..." labels, children
};

}  // namespace brinvale::ui
