#pragma once

#include "settings/LoginItem.h"

#include <QString>

// The login item of freedesktop.org desktops: an autostart entry
// <config home>/autostart/halvex.desktop. It counts as enabled when the file
// exists and does not say Hidden=true.
class XdgAutostartLoginItem final : public LoginItem
{
public:
    // configHome is the user's configuration directory ($XDG_CONFIG_HOME);
    // executable the program the entry starts.
    XdgAutostartLoginItem(const QString &configHome, const QString &executable);

    // $XDG_CONFIG_HOME, or ~/.config when it is unset.
    static QString defaultConfigHome();

    QString entryPath() const { return m_entryPath; }

    bool isEnabled() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

    // The entry's text for an executable, with the path quoted as the
    // desktop entry format requires.
    static QByteArray entryContents(const QString &executable);

private:
    QString m_entryPath;
    QString m_executable;
};
