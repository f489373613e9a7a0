#pragma once

#include <QString>

namespace KeyboardShortcuts {

// Upper-cases the first letter of each word and lower-cases the rest:
// "space bar" -> "Space Bar".
QString titleCased(const QString &text);

// The first code point of text (0 for an empty text) and, in length, how
// many UTF-16 units it takes.
char32_t firstCodePoint(const QString &text, qsizetype *length = nullptr);

} // namespace KeyboardShortcuts
