#pragma once

#include "KeyboardShortcuts/KeyboardShortcuts.h"

#include <QSettings>
#include <QTemporaryDir>

// A settings store of the test's own: QSettings and XDG_CONFIG_HOME point into
// a temporary folder for the life of the object. Make it a member of the test
// object, so that it exists before the first QSettings is opened.
class PrivateSettings
{
public:
    PrivateSettings()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    }

    bool isValid() const { return m_dir.isValid(); }

    // The application's store, as the code under test opens it.
    static QSettings store() { return QSettings(QStringLiteral("Halvex"), QStringLiteral("Halvex")); }

    // An empty store, and a shortcut subsystem that has read nothing from it.
    static void startFresh()
    {
        store().clear();
        KeyboardShortcuts::resetState();
    }

private:
    QTemporaryDir m_dir;
};
