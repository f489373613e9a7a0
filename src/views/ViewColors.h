#pragma once

#include <QColor>
#include <QPalette>

// Colour rules the history window and the quick-paste panel share.
namespace ViewColors {

// color with its opacity scaled by alpha (0...1).
QColor withAlpha(QColor color, qreal alpha);

// The colour of secondary text and icons: the palette's placeholder text.
QColor secondary(const QPalette &palette);

} // namespace ViewColors
