#include "settings/SettingsWindowManager.h"

#include "settings/SettingsView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

SettingsWindowManager::SettingsWindowManager(LoginItem &loginItem, PastePermission &permission,
                                             QObject *parent)
    : QObject(parent)
    , m_loginItem(loginItem)
    , m_permission(permission)
{ }

SettingsWindowManager::~SettingsWindowManager() = default;

QWidget *SettingsWindowManager::settingsWindow() const
{
    return m_window.get();
}

void SettingsWindowManager::setShortcutNote(
    const QString &note, std::function<QString(const KeyboardShortcuts::Shortcut &)> configLine)
{
    m_shortcutNote = note;
    m_configLine = std::move(configLine);
    if (m_window)
        m_window->setShortcutNote(m_shortcutNote, m_configLine);
}

void SettingsWindowManager::showSettings()
{
    if (!m_window) {
        m_window = std::make_unique<SettingsView>(m_loginItem, m_permission);
        if (!m_shortcutNote.isEmpty() || m_configLine)
            m_window->setShortcutNote(m_shortcutNote, m_configLine);
        // Titled and closable only: no minimise or maximise button, and the
        // fixed size keeps it from being resized.
        m_window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                 | Qt::WindowCloseButtonHint);
        m_window->setWindowTitle(tr("Settings"));
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = m_window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    QTimer::singleShot(100, this, [this] {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    });
}
