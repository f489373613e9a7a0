#pragma once

#include "KeyboardShortcuts/Name.h"

#include <QObject>

namespace KeyboardShortcuts {

// Announces every change of a stored shortcut, synchronously, after the new
// value is in the store. There is one of these per process: notifier().
class ShortcutNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void shortcutByNameDidChange(const KeyboardShortcuts::Name &name);
};

} // namespace KeyboardShortcuts
