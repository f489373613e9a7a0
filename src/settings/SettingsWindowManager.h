#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class LoginItem;
class PastePermission;
class SettingsView;
class QWidget;

namespace KeyboardShortcuts {
class Shortcut;
}

// Owns the one settings window. The window is built on the first
// showSettings() and kept for the rest of the process: closing it only
// hides it.
class SettingsWindowManager : public QObject
{
    Q_OBJECT

public:
    SettingsWindowManager(LoginItem &loginItem, PastePermission &permission, QObject *parent = nullptr);
    ~SettingsWindowManager() override;

    // Creates the window if needed; 0.1 s later shows it, raises it and
    // gives it the focus, whether it was hidden, closed or already open.
    void showSettings();

    // Passed on to the settings form (SettingsView::setShortcutNote).
    void setShortcutNote(const QString &note,
                         std::function<QString(const KeyboardShortcuts::Shortcut &)> configLine = {});

    // The window once showSettings() built it, else null.
    QWidget *settingsWindow() const;
    SettingsView *settingsView() const { return m_window.get(); }

private:
    LoginItem &m_loginItem;
    PastePermission &m_permission;
    std::unique_ptr<SettingsView> m_window;
    QString m_shortcutNote;
    std::function<QString(const KeyboardShortcuts::Shortcut &)> m_configLine;
};
