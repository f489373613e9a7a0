#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

class ClipboardManager;
class TrayEntry;

// The application's entry object. HalvexApp::run() is all of main(): it
// answers --help and --version, makes sure one Halvex runs per session and
// display (a second launch asks the running one to toggle its quick-paste
// panel and exits), creates the history store over the platform services,
// puts the tray entry up and runs the event loop.
//
// An instance wires the tray entry and the history window to the store and
// to the rest of the application. The quick-paste panel is not its business:
// a launch's request to toggle it comes out as togglePanelRequested, for the
// panel's owner to connect.
class HalvexApp : public QObject
{
    Q_OBJECT

public:
    // What a later launch sends to the running instance.
    static inline const QByteArray togglePanelMessage = QByteArrayLiteral("toggle-panel");

    static int run(int argc, char *argv[]);

    // What happens before any window system connection is made: --help,
    // --version and bad options are answered, and a launch while Halvex
    // already runs hands over its request. Returns the exit status when the
    // process ends here.
    static std::optional<int> handleLaunch(int argc, char *argv[], const QString &socketPath);

    explicit HalvexApp(ClipboardManager *manager, QObject *parent = nullptr);
    ~HalvexApp() override;

    ClipboardManager *clipboardManager() const { return m_manager; }
    TrayEntry *trayEntry() const { return m_tray.get(); }

    // Puts the tray entry up.
    void start();

    // A message from a later launch.
    void handleMessage(const QByteArray &message);

    // Steps back so that the window the user worked in has the focus: every
    // Halvex popup closes.
    void hideApplication();

Q_SIGNALS:
    void togglePanelRequested();
    void settingsRequested();
    void hideApplicationRequested();

private:
    ClipboardManager *m_manager;
    std::unique_ptr<TrayEntry> m_tray;
};
