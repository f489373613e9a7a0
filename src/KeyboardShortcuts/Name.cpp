#include "KeyboardShortcuts/Name.h"

#include "KeyboardShortcuts/Key.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/SubsystemState.h"

#include <QSettings>

namespace KeyboardShortcuts {

Name::Name(const QString &rawValue, std::optional<Shortcut> defaultShortcut)
    : m_rawValue(rawValue)
    , m_defaultShortcut(defaultShortcut)
{
    if (m_defaultShortcut) {
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvex"),
                              QStringLiteral("Halvex"));
        if (!store.contains(settingsKey(*this)))
            KeyboardShortcuts::setShortcut(m_defaultShortcut, *this);
    }
    initialize();
}

Shortcut Name::togglePanelDefault()
{
#ifdef Q_OS_MACOS
    // Shift+Command+V.
    return Shortcut(Key::v, Qt::ShiftModifier | Qt::ControlModifier);
#else
    // Shift+Super+V: the literal Shift+Ctrl+V is the paste chord of every
    // terminal, which a global grab would break.
    return Shortcut(Key::v, Qt::ShiftModifier | Qt::MetaModifier);
#endif
}

Name Name::togglePanel()
{
    SubsystemState &s = state();
    if (!s.togglePanel)
        s.togglePanel.emplace(QStringLiteral("togglePanel"), togglePanelDefault());
    return *s.togglePanel;
}

std::optional<Shortcut> Name::shortcut() const
{
    return getShortcut(*this);
}

void Name::setShortcut(const std::optional<Shortcut> &shortcut) const
{
    KeyboardShortcuts::setShortcut(shortcut, *this);
}

} // namespace KeyboardShortcuts
