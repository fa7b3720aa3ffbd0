#include "ui/skin_markup.h"

#include <QStringList>

namespace brinvale::ui {
namespace {

// Calls `onText` for each run of plain text and `onMark` for each {...}
// mark (its content without braces), in order.
template <typename OnText, typename OnMark>
void WalkMarkup(const QString& markup, OnText onText, OnMark onMark) {
  qsizetype at = 0;
  while (at < markup.size()) {
    const qsizetype open = markup.indexOf(QLatin1Char('{'), at);
    if (open < 0) {
      onText(markup.mid(at));
      return;
    }
    const qsizetype close = markup.indexOf(QLatin1Char('}'), open);
    if (close < 0) {
      onText(markup.mid(at));
      return;
    }
    if (open > at) onText(markup.mid(at, open - at));
    onMark(markup.mid(open + 1, close - open - 1));
    at = close + 1;
  }
}

bool IsSpaceMark(const QString& mark) { return mark.startsWith(QLatin1String("x ")); }

}  // namespace

MarkupParts SplitMarkup(const QString& markup) {
  MarkupParts parts;
  WalkMarkup(
      markup, [&](const QString& text) { parts.text += text; },
      [&](const QString& mark) {
        if (mark.startsWith(QLatin1String("i ")) && parts.icon.isEmpty())
          parts.icon = mark.mid(2).section(QLatin1Char(' '), 0, 0);
        else if (IsSpaceMark(mark) && !parts.text.isEmpty() && !parts.text.endsWith(' '))
          parts.text += QLatin1Char(' ');
      });
  parts.text = parts.text.trimmed();
  return parts;
}

QString MarkupToHtml(const QString& markup) {
  QString html;
  QStringList open;  // closing tags of the spans still open
  WalkMarkup(
      markup, [&](const QString& text) { html += text.toHtmlEscaped(); },
      [&](const QString& mark) {
        if (mark.startsWith(QLatin1String("f "))) {
          const bool bold = mark.mid(2).toInt() >= 6;
          html += bold ? QStringLiteral("<b>") : QStringLiteral("<span>");
          open << (bold ? QStringLiteral("</b>") : QStringLiteral("</span>"));
        } else if (mark.startsWith(QLatin1String("c "))) {
          html += QStringLiteral("<span style=\"color:%1\">").arg(mark.mid(2).trimmed());
          open << QStringLiteral("</span>");
        } else if (mark.startsWith(QLatin1Char('/'))) {
          if (!open.isEmpty()) html += open.takeLast();
        } else if (IsSpaceMark(mark)) {
          html += QStringLiteral("&nbsp;");
        }
      });
  while (!open.isEmpty()) html += open.takeLast();
  return html;
}

}  // namespace brinvale::ui
