#include "app/HalvexApp.h"

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "KeyboardShortcuts/SystemShortcutSource.h"
#include "KeyboardShortcuts/wayland/ShortcutTriggerText.h"
#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "app/PlatformServices.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/TrayEntry.h"
#include "clipboard/ClipboardManager.h"
#include "clipboard/tesseract/OpenMpEnvironment.h"
#include "settings/LoginItem.h"
#include "settings/PastePermission.h"
#include "settings/SettingsWindowManager.h"
#include "views/ContentView.h"
#include "views/FloatingPanel.h"
#include "wayland/WaylandConnection.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <cstdio>

namespace {

// Qt's own texts and the application's, for the user's languages. The
// application's catalogue is looked up next to the binary (a build tree) and
// in the installation's share/halvex/translations.
void installTranslators(QCoreApplication &app)
{
    const QLocale locale;
    auto *qt = new QTranslator(&app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    const QDir binDir(QCoreApplication::applicationDirPath());
    for (const QString &dir :
         {binDir.path(), binDir.filePath(QStringLiteral("../share/halvex/translations"))}) {
        auto *own = new QTranslator(&app);
        if (own->load(locale, QStringLiteral("halvex"), QStringLiteral("_"), dir)) {
            QCoreApplication::installTranslator(own);
            break;
        }
        delete own;
    }
}

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Halvex"));
    QCoreApplication::setApplicationName(QStringLiteral("Halvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVEX_VERSION));
}

} // namespace

QByteArray HalvexApp::toggleMessage(const QByteArray &activationToken)
{
    // The token goes on one line of a short message: plain printable ASCII
    // without blanks, or nothing.
    const bool usable = !activationToken.isEmpty() && activationToken.size() <= 200
        && std::all_of(activationToken.begin(), activationToken.end(),
                       [](char c) { return c > ' ' && c < 127; });
    return usable ? QByteArray(togglePanelMessage + ' ' + activationToken) : togglePanelMessage;
}

std::optional<QByteArray> HalvexApp::parseToggleMessage(const QByteArray &message)
{
    if (message == togglePanelMessage)
        return QByteArray();
    if (!message.startsWith(QByteArray(togglePanelMessage + ' ')))
        return std::nullopt;
    const QByteArray token = message.mid(togglePanelMessage.size() + 1);
    if (toggleMessage(token) != message)
        return std::nullopt;
    return token;
}

std::optional<int> HalvexApp::handleLaunch(int argc, char *argv[], const QString &socketPath,
                                           LaunchOptions *options)
{
    // Parsed on a bare core application, so that --help works without a display.
    QCoreApplication probe(argc, argv);
    setApplicationNames();
    installTranslators(probe);
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "HalvexApp",
        "Keyboard-first clipboard history. Runs in the background with an icon in the system tray;\n"
        "Shift+Super+V (by default) opens the quick-paste panel. Launching it again while it runs toggles\n"
        "the panel of the running instance."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption toggleOption(
        QStringLiteral("toggle"),
        QCoreApplication::translate(
            "HalvexApp",
            "Show or hide the quick-paste panel of the running Halvex (for a key bound in "
            "the desktop's settings, e.g. sway's bindsym); starts Halvex with the panel "
            "open when it is not running."));
    const QCommandLineOption diagnoseOption(
        QStringLiteral("diagnose"),
        QCoreApplication::translate("HalvexApp",
                                    "Print which clipboard, paste, shortcut and panel backends this session "
                                    "gets, and what it lacks, then exit."));
    parser.addOption(toggleOption);
    parser.addOption(diagnoseOption);
    if (!parser.parse(probe.arguments())) {
        std::fprintf(stderr, "halvex: %s\n", qPrintable(parser.errorText()));
        std::fprintf(stderr, "Try 'halvex --help' for more information.\n");
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("halvex %s\n", HALVEX_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "halvex: unexpected argument '%s'\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    if (options) {
        options->toggle = parser.isSet(toggleOption);
        options->diagnose = parser.isSet(diagnoseOption);
    }
    if (parser.isSet(diagnoseOption))
        return std::nullopt;
    if (SingleInstance(socketPath).handOver(toggleMessage(qgetenv("XDG_ACTIVATION_TOKEN"))))
        return 0;
    return std::nullopt;
}

namespace {

// In a Wayland session, which platform Qt runs on is decided here, before Qt
// picks one by itself (which depends on XDG_SESSION_TYPE): Wayland, unless
// the compositor gives no background clipboard access (GNOME) and there is
// XWayland, where Halvex works at least for X11 applications. A platform
// the user chose is kept.
void choosePlatform()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    const WaylandConnection connection;
    if (!connection.isValid())
        return;
    QByteArrayList globals;
    for (const WaylandConnection::Global &global : connection.globals())
        globals.append(global.interface);
    const bool xwayland
        = BackendSelection::prefersXWayland(globals) && !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("QT_QPA_PLATFORM", xwayland ? "xcb" : "wayland");
}

QString commandName()
{
    const QString self = QCoreApplication::applicationFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("halvex")) == self ? QStringLiteral("halvex") : self;
}

// What the settings window says about the shortcut, where Halvex does not
// grab it itself.
void describeShortcut(SettingsWindowManager &settings, const PlatformServices &services)
{
    const BackendSelection &selection = services.selection;
    switch (selection.shortcut) {
    case BackendSelection::Shortcut::Portal:
        settings.setShortcutNote(QCoreApplication::translate(
            "HalvexApp",
            "The shortcut is registered with the desktop (Global Shortcuts), which may ask you to "
            "confirm it and lets you change it in its own settings."));
        break;
    case BackendSelection::Shortcut::CompositorBinding:
        if (selection.isSway(services.session)) {
            const QString command = commandName();
            settings.setShortcutNote(
                QCoreApplication::translate(
                    "HalvexApp",
                    "sway gives no global shortcuts to applications. Add this line to "
                    "~/.config/sway/config and reload sway:"),
                [command](const KeyboardShortcuts::Shortcut &shortcut) {
                    return QStringLiteral("bindsym %1 exec %2 --toggle")
                        .arg(KeyboardShortcuts::ShortcutTriggerText::swayCombination(shortcut), command);
                });
        } else {
            settings.setShortcutNote(QCoreApplication::translate(
                "HalvexApp",
                "This desktop gives no global shortcuts to applications: bind a key to the command "
                "\u201chalvex --toggle\u201d in its keyboard settings."));
        }
        break;
    case BackendSelection::Shortcut::X11Grab:
        if (services.session.waylandSession)
            settings.setShortcutNote(QCoreApplication::translate(
                "HalvexApp",
                "Halvex runs through XWayland: this shortcut works while an X11 window has the "
                "keyboard. For every window, bind a key to the command \u201chalvex --toggle\u201d "
                "in the desktop's keyboard settings."));
        break;
    }
}

} // namespace

int HalvexApp::run(int argc, char *argv[])
{
    const QString socketPath = SingleInstance::defaultSocketPath();
    LaunchOptions options;
    if (const std::optional<int> status = handleLaunch(argc, argv, socketPath, &options))
        return *status;
    // Only a launch that goes on to run Halvex pays for the restart; one that
    // handed its request over (halvex --toggle from a desktop's key binding)
    // has ended above.
    restartWithSingleThreadedOpenMp(argv);

    choosePlatform();
    // Also the Wayland app_id of every window ("halvex"), which compositor
    // rules match and KDE finds the installed desktop entry by.
    QGuiApplication::setDesktopFileName(QStringLiteral("halvex"));
    QApplication app(argc, argv);
    setApplicationNames();
    installTranslators(app);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(TrayEntry::applicationIcon());

    if (options.diagnose) {
        const BackendSelection::Session session = PlatformServices::probeSession();
        for (const QString &line : BackendSelection::choose(session).describe(session))
            std::printf("%s\n", qPrintable(line));
        return 0;
    }

    // A logout, Ctrl+C or a closed terminal quits like the Quit button.
    TerminationSignals termination;
    connect(&termination, &TerminationSignals::received, &app, [](int signalNumber) {
        qCInfo(lcApp) << "quitting on signal" << signalNumber;
        QCoreApplication::quit();
    });

    // Claimed again under the lock: another launch may have come up meanwhile.
    SingleInstance instance(socketPath);
    switch (instance.claim(toggleMessage(qgetenv("XDG_ACTIVATION_TOKEN")))) {
    case SingleInstance::Role::Secondary:
        return 0;
    case SingleInstance::Role::Refused:
        qCCritical(lcApp).noquote() << instance.errorString();
        qCCritical(lcApp) << "Halvex does not start, so that no second instance runs";
        return 1;
    case SingleInstance::Role::Unavailable:
        qCWarning(lcApp).noquote() << instance.errorString();
        qCWarning(lcApp) << "cannot check for a running Halvex; starting anyway";
        break;
    case SingleInstance::Role::Primary:
        break;
    }

    std::optional<PlatformServices> services = PlatformServices::create();
    if (!services) {
        std::fputs("halvex: cannot watch the X11 clipboard (no X display or no XFIXES extension)\n", stderr);
        return 1;
    }
    if (const QString warning = services->selection.clipboardWarning(services->session); !warning.isEmpty())
        qCWarning(lcApp).noquote() << warning;
    for (const QString &line : services->selection.describe(services->session))
        qCInfo(lcApp).noquote() << line;
    KeyboardShortcuts::resetState(std::move(services->hotKeyBackend));
    KeyboardShortcuts::setShortcutServices(std::move(services->shortcutServices));
    // Our own hotkeys are not "taken by the system".
    KeyboardShortcuts::shortcutServices().systemShortcuts->setOwnShortcutQuery(
        &KeyboardShortcuts::isOwnHotKey);
    int status = 0;
    {
        auto manager = std::make_unique<ClipboardManager>(std::move(services->pasteboard),
                                                          std::move(services->pasteSimulator),
                                                          std::move(services->textRecognizer));
        HalvexApp halvex(std::make_unique<AppDelegate>(std::move(manager), std::move(services->windowSystem),
                                                       std::move(services->keyboardGrab)),
                         std::move(services->loginItem), std::move(services->pastePermission));
        describeShortcut(*halvex.settingsWindowManager(), *services);
        connect(&instance, &SingleInstance::messageReceived, &halvex, &HalvexApp::handleMessage);
        halvex.start();
        if (options.toggle)
            QTimer::singleShot(0, &halvex, &HalvexApp::togglePanelRequested);
        status = app.exec();
    }
    // Let go of the grabs while the connection is still open.
    KeyboardShortcuts::resetState();
    return status;
}

HalvexApp::HalvexApp(std::unique_ptr<AppDelegate> delegate, std::unique_ptr<LoginItem> loginItem,
                     std::unique_ptr<PastePermission> permission, QObject *parent)
    : QObject(parent)
    , m_delegate(std::move(delegate))
    , m_loginItem(std::move(loginItem))
    , m_permission(std::move(permission))
    , m_settings(std::make_unique<SettingsWindowManager>(*m_loginItem, *m_permission))
    , m_tray(std::make_unique<TrayEntry>(m_delegate->clipboardManager()))
{
    connect(this, &HalvexApp::settingsRequested, m_settings.get(), &SettingsWindowManager::showSettings);
    // No input event of ours asked for the panel: the window system's current
    // time stands for the user's action.
    connect(this, &HalvexApp::togglePanelRequested, m_delegate.get(),
            [this] { m_delegate->toggleFloatingPanel(); });
    connect(m_tray.get(), &TrayEntry::quitRequested, this, [] { QCoreApplication::quit(); });
    connect(m_tray.get(), &TrayEntry::settingsRequested, this, &HalvexApp::settingsRequested);
    connect(m_tray.get(), &TrayEntry::hideApplicationRequested, this, &HalvexApp::hideApplication);
}

HalvexApp::~HalvexApp() = default;

ClipboardManager *HalvexApp::clipboardManager() const
{
    return m_delegate->clipboardManager();
}

void HalvexApp::start()
{
    m_tray->show();
    m_delegate->applicationDidFinishLaunching();
    // The value stays as it is (it reads as no shortcut), but the main
    // feature is off because of it: say so, once.
    const KeyboardShortcuts::Name name = KeyboardShortcuts::Name::togglePanel();
    if (KeyboardShortcuts::hasUnreadableShortcut(name)) {
        qCWarning(lcApp).noquote() << QStringLiteral(
                                          "the stored shortcut %1 in %2 cannot be read, so the quick-paste "
                                          "panel has no shortcut; record a new one in the settings")
                                          .arg(KeyboardShortcuts::settingsKey(name),
                                               KeyboardShortcuts::shortcutStoreLocation());
    }
}

void HalvexApp::handleMessage(const QByteArray &message)
{
    if (const std::optional<QByteArray> token = parseToggleMessage(message)) {
        qCDebug(lcApp) << "another launch asks to toggle the panel";
        // Qt's Wayland windows take the keyboard with the token of the launch
        // that asked for them, read (and cleared) when the panel activates.
        const bool showing = !m_delegate->panel() || !m_delegate->panel()->isVisible();
        if (showing && !token->isEmpty() && QGuiApplication::platformName().startsWith(u"wayland"))
            qputenv("XDG_ACTIVATION_TOKEN", *token);
        Q_EMIT togglePanelRequested();
    } else {
        qCWarning(lcApp) << "ignoring an unknown message from another launch" << message.left(40);
    }
}

void HalvexApp::hideApplication()
{
    m_tray->hideHistoryWindow();
    // The history window never took the focus: nothing to give back.
    m_delegate->hidePanel(false);
    Q_EMIT hideApplicationRequested();
}
