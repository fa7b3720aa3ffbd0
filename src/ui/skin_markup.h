#pragma once

#include <QString>

// The skin's text markup, as list rows and labels carry it:
//   {f N} ... {/f}    font N of the skin (4 normal, 5 medium, 7 bold)
//   {x N}             N pixels of space
//   {i file a b}      a picture from the skin before the text
//   {c #RRGGBB} ... {/c}  a colour
// ("{/5}" closes a font too). Views show it as rich text, or as plain text
// with an icon; the words, numbers and their order stay.
namespace brinvale::ui {

struct MarkupParts {
  QString text;  // the words, marks removed; a space stands for {x N}
  QString icon;  // the skin file of the first {i ...}, empty without one
};

// The text and first picture of `markup`.
MarkupParts SplitMarkup(const QString& markup);

// `markup` as Qt rich text: fonts 6 and up bold, colours as spans, spaces
// for {x N}, pictures left out; other text escaped.
QString MarkupToHtml(const QString& markup);

}  // namespace brinvale::ui
