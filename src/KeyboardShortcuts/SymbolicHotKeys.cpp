#include "KeyboardShortcuts/SymbolicHotKeys.h"

#include <QMetaType>
#include <QVariantMap>

#include <limits>

namespace KeyboardShortcuts {

namespace {

std::optional<int> integerValue(const QVariantMap &entry, const QString &name)
{
    const auto it = entry.constFind(name);
    if (it == entry.cend())
        return std::nullopt;
    qint64 value = 0;
    switch (it->metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        value = it->toLongLong();
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (it->toULongLong() > quint64(std::numeric_limits<int>::max()))
            return std::nullopt;
        value = it->toLongLong();
        break;
    default:
        return std::nullopt;
    }
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

} // namespace

QList<Shortcut> shortcutsFromSymbolicHotKeys(const QVariant &hotKeys)
{
    if (hotKeys.metaType().id() != QMetaType::QVariantList)
        return {};
    const QVariantList list = hotKeys.toList();
    for (const QVariant &entry : list) {
        if (entry.metaType().id() != QMetaType::QVariantMap)
            return {};
    }

    const QString enabledName = QStringLiteral("kHISymbolicHotKeyEnabled");
    const QString codeName = QStringLiteral("kHISymbolicHotKeyCode");
    const QString modifiersName = QStringLiteral("kHISymbolicHotKeyModifiers");
    QList<Shortcut> shortcuts;
    for (const QVariant &value : list) {
        const QVariantMap entry = value.toMap();
        const QVariant enabled = entry.value(enabledName);
        if (enabled.metaType().id() != QMetaType::Bool || !enabled.toBool())
            continue;
        const std::optional<int> code = integerValue(entry, codeName);
        const std::optional<int> modifiers = integerValue(entry, modifiersName);
        if (!code || !modifiers)
            continue;
        shortcuts.append(Shortcut(*code, *modifiers));
    }
    return shortcuts;
}

} // namespace KeyboardShortcuts
