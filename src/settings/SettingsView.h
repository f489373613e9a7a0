#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

class LoginItem;
class PastePermission;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;

namespace KeyboardShortcuts {
class Recorder;
class Shortcut;
} // namespace KeyboardShortcuts

// The settings form: "Open at Login", the global shortcut recorder and the
// paste permission. While it is on screen it re-reads the login item when it
// appears and the permission every second.
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    // The key of the "Open at Login" choice in the user defaults.
    static constexpr const char *openAtLoginKey = "openAtLogin";

    SettingsView(LoginItem &loginItem, PastePermission &permission, QWidget *parent = nullptr);

    bool openAtLogin() const;
    bool hasPastePermission() const { return m_hasPermission; }
    KeyboardShortcuts::Recorder *recorder() const { return m_recorder; }
    // Whether the form tells the user that the stored shortcut is unreadable.
    bool showsShortcutProblem() const;

    // Re-reads the login item's status and the permission, as when the form
    // comes on screen.
    void refresh();

    // Says under the recorder how the shortcut reaches the desktop (where it
    // is not grabbed by Halvex itself); configLine, when given, turns the
    // recorded shortcut into a line for the desktop's configuration, shown
    // (selectable) below the note and kept up to date.
    void setShortcutNote(const QString &note,
                         std::function<QString(const KeyboardShortcuts::Shortcut &)> configLine = {});
    QString shortcutNote() const;
    QString shortcutConfigLine() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void openAtLoginToggled(bool enabled);
    void setHasPastePermission(bool granted);
    void requestAccess();
    void updatePermissionRow();
    void updateConfigLine();
    void updateShortcutProblem();

    LoginItem &m_loginItem;
    PastePermission &m_permission;
    bool m_hasPermission = false;
    QTimer m_permissionTimer;

    QCheckBox *m_openAtLogin = nullptr;
    QHBoxLayout *m_shortcutRow = nullptr;
    KeyboardShortcuts::Recorder *m_recorder = nullptr;
    QLabel *m_shortcutProblem = nullptr; // shown while the stored shortcut cannot be read
    QLabel *m_permissionIcon = nullptr;
    QLabel *m_permissionLabel = nullptr;
    QLabel *m_permissionExplanation = nullptr;
    QLabel *m_granted = nullptr;
    QPushButton *m_requestAccess = nullptr;
    QLabel *m_shortcutNote = nullptr;
    QLabel *m_configLine = nullptr;
    std::function<QString(const KeyboardShortcuts::Shortcut &)> m_configLineOf;
};
