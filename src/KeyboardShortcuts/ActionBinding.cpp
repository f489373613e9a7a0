// Menu-item binding: a QAction shows a shortcut, or follows the stored
// shortcut of a name. The binding is a child object of the action, so it ends
// with the action.

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ShortcutNotifier.h"

#include <QAction>
#include <QMetaObject>

namespace KeyboardShortcuts {

namespace {

const QString &bindingObjectName()
{
    static const QString name = QStringLiteral("KeyboardShortcuts_nameBinding");
    return name;
}

} // namespace

void setActionShortcut(QAction *action, const std::optional<Shortcut> &shortcut)
{
    if (!action)
        return;
    action->setShortcut(shortcut ? shortcut->keySequence() : QKeySequence());
}

void bindActionShortcut(QAction *action, const std::optional<Name> &name)
{
    if (!action)
        return;
    // One binding per action: binding again replaces the earlier one.
    delete action->findChild<QObject *>(bindingObjectName(), Qt::FindDirectChildrenOnly);
    if (!name) {
        action->setShortcut(QKeySequence());
        return;
    }
    setActionShortcut(action, getShortcut(*name));
    auto *binding = new QObject(action);
    binding->setObjectName(bindingObjectName());
    QObject::connect(&notifier(), &ShortcutNotifier::shortcutByNameDidChange, binding,
                     [action, binding, bound = *name](const Name &changed) {
                         if (changed != bound)
                             return;
                         // Applied on the next turn of the event loop; a
                         // binding replaced meanwhile drops the call with it.
                         QMetaObject::invokeMethod(
                             binding, [action, bound] { setActionShortcut(action, getShortcut(bound)); },
                             Qt::QueuedConnection);
                     });
}

} // namespace KeyboardShortcuts
