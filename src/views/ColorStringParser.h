#pragma once

#include <QColor>
#include <QString>

#include <optional>

// Reads a copied text as a colour, for the swatch next to a history row.
// Accepts, case-insensitively and with blanks around it ignored:
//   #rgb, #rrggbb, #rrggbbaa (the # optional);
//   rgb(...)/rgba(...) with commas, blanks or a slash, numbers or percentages;
//   hsl(...)/hsla(...) with an optional "deg" on the hue;
//   a bare list "r, g, b" or "r, g, b, a" with r, g, b in 0...255;
//   initialisers "Color(red: r, green: g, blue: b, alpha: a)" and
//   "UIColor(red: ...)" on the 0...1 or 0...255 scale.
// Anything else, including colour names, is not a colour. Never fails on
// malformed input; it just answers nothing.
std::optional<QColor> parseColorString(const QString &text);
