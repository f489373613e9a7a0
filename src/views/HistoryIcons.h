#pragma once

#include <QColor>
#include <QIcon>

// The glyphs of the history window, drawn here so that they look the same on
// every desktop, themed or not. Each icon is drawn in the given colour at
// every size it is asked for.
namespace HistoryIcons {

QIcon gear(const QColor &color); // opens the settings
QIcon closeCircle(const QColor &color); // quits
QIcon clipboard(const QColor &color); // the empty state
QIcon trash(const QColor &color); // "Clear All"

} // namespace HistoryIcons
