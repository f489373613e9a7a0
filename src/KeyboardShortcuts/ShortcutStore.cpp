// The stored shortcuts: one settings entry per name, holding the shortcut's
// JSON text, the Boolean false for "removed, keep the default away", or
// nothing. Every read goes to the store again.

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/SubsystemState.h"

#include <QSet>
#include <QSettings>

namespace KeyboardShortcuts {

namespace {

QSettings openStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvex"),
                     QStringLiteral("Halvex"));
}

void announce(const Name &name)
{
    Q_EMIT state().notifierObject.shortcutByNameDidChange(name);
}

} // namespace

QString settingsKey(const Name &name)
{
    return QString::fromUtf16(keyPrefix) + name.rawValue();
}

std::optional<Shortcut> getShortcut(const Name &name)
{
    const QVariant value = openStore().value(settingsKey(name));
    // Only text can hold a shortcut; lists, numbers, Booleans and byte arrays
    // a hand-edited file may contain read as no shortcut.
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return Shortcut::fromJson(value.toString().toUtf8());
}

bool hasUnreadableShortcut(const Name &name)
{
    const QVariant value = openStore().value(settingsKey(name));
    if (!value.isValid() || getShortcut(name))
        return false;
    // The Boolean false comes back from the settings file as text.
    const bool removed = (value.typeId() == QMetaType::Bool && !value.toBool())
        || (value.typeId() == QMetaType::QString && value.toString() == QLatin1String("false"));
    return !removed;
}

QString shortcutStoreLocation()
{
    return openStore().fileName();
}

void setShortcut(const std::optional<Shortcut> &shortcut, const Name &name)
{
    SubsystemState &s = state();
    const QString key = settingsKey(name);
    if (!shortcut) {
        const auto current = getShortcut(name);
        if (!current)
            return;
        {
            QSettings store = openStore();
            if (name.defaultShortcut())
                store.setValue(key, false);
            else
                store.remove(key);
        }
        s.registry.unregisterShortcut(*current);
        announce(name);
        return;
    }

    const QString json = QString::fromUtf8(shortcut->toJson());
    if (json.isEmpty())
        return;
    if (const auto current = getShortcut(name))
        s.registry.unregisterShortcut(*current);
    s.registry.registerShortcut(*shortcut);
    openStore().setValue(key, json);
    announce(name);
}

void reset(const QList<Name> &names)
{
    for (const Name &name : names) {
        if (name.defaultShortcut()) {
            setShortcut(name.defaultShortcut(), name);
            continue;
        }
        const auto current = getShortcut(name);
        if (!current)
            continue;
        openStore().remove(settingsKey(name));
        state().registry.unregisterShortcut(*current);
        announce(name);
    }
}

void resetAll()
{
    const QString prefix = QString::fromUtf16(keyPrefix);
    QSet<QString> rawValues;
    const QStringList keys = openStore().allKeys();
    for (const QString &key : keys) {
        if (key.startsWith(prefix))
            rawValues.insert(key.mid(prefix.size()));
    }
    QList<Name> names;
    for (const QString &rawValue : rawValues)
        names.append(Name(rawValue));
    reset(names);
}

} // namespace KeyboardShortcuts
