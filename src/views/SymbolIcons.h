#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// The small glyphs the panels show. Each comes from the desktop icon theme
// when it has one and is otherwise drawn here, so it looks the same on a bare
// X server.
namespace SymbolIcons {

QIcon paperclip(const QColor &color);
QIcon magnifyingGlass(const QColor &color);
QIcon clearField(const QColor &color);

// The "press Return" mark of the selected row, drawn at size x size pixels.
QPixmap returnMark(const QColor &color, int size, qreal devicePixelRatio = 1.0);

} // namespace SymbolIcons
