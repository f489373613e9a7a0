#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

class AppDelegate;
class ClipboardManager;
class LoginItem;
class PastePermission;
class SettingsWindowManager;
class TrayEntry;

// The application's entry object. HalvexApp::run() is all of main(): it
// answers --help and --version, makes sure one Halvex runs per session and
// display (a second launch asks the running one to toggle its quick-paste
// panel and exits), creates the history store over the platform services,
// puts the tray entry up and runs the event loop.
//
// An instance owns the application delegate (the history store and the
// quick-paste panel) and the tray entry with its history window over the
// delegate's store. A later launch's request toggles the delegate's panel.
class HalvexApp : public QObject
{
    Q_OBJECT

public:
    // What a later launch sends to the running instance: this, optionally
    // followed by a space and the launch's XDG activation token.
    static inline const QByteArray togglePanelMessage = QByteArrayLiteral("toggle-panel");
    // The message for a launch with this activation token (empty: none). A
    // token that is not plain printable ASCII, or too long, is left out.
    static QByteArray toggleMessage(const QByteArray &activationToken);
    // The activation token of a toggle message (empty when it has none);
    // nothing when the message is no toggle request.
    static std::optional<QByteArray> parseToggleMessage(const QByteArray &message);

    static int run(int argc, char *argv[]);

    // What the command line asks for beyond the default start.
    struct LaunchOptions
    {
        bool toggle = false; // --toggle: show the panel once started
        bool diagnose = false; // --diagnose: print the platform backends and exit
    };

    // What happens before any window system connection is made: --help,
    // --version and bad options are answered, and a launch while Halvex
    // already runs hands over its request (with the launch's activation
    // token). Returns the exit status when the process ends here.
    static std::optional<int> handleLaunch(int argc, char *argv[], const QString &socketPath,
                                           LaunchOptions *options = nullptr);

    // The settings button opens the settings window over loginItem and
    // permission.
    HalvexApp(std::unique_ptr<AppDelegate> delegate, std::unique_ptr<LoginItem> loginItem,
              std::unique_ptr<PastePermission> permission, QObject *parent = nullptr);
    ~HalvexApp() override;

    AppDelegate *appDelegate() const { return m_delegate.get(); }
    ClipboardManager *clipboardManager() const;
    TrayEntry *trayEntry() const { return m_tray.get(); }
    SettingsWindowManager *settingsWindowManager() const { return m_settings.get(); }

    // Puts the tray entry up, then lets the delegate finish launching (build
    // the hidden panel, bind the shortcut).
    void start();

    // A message from a later launch.
    void handleMessage(const QByteArray &message);

    // Steps back so that the window the user worked in has the focus: the
    // history window and the panel close.
    void hideApplication();

Q_SIGNALS:
    void togglePanelRequested();
    void settingsRequested();
    void hideApplicationRequested();

private:
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<PastePermission> m_permission;
    std::unique_ptr<SettingsWindowManager> m_settings;
    std::unique_ptr<TrayEntry> m_tray;
};
