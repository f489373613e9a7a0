#include "app/HalvexApp.h"

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/PlatformServices.h"
#include "KeyboardShortcuts/SystemShortcutSource.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11PlatformServices.h"
#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "app/PlatformServices.h"
#include "app/SingleInstance.h"
#include "app/TrayEntry.h"
#include "clipboard/ClipboardManager.h"
#include "settings/LoginItem.h"
#include "settings/PastePermission.h"
#include "settings/SettingsWindowManager.h"
#include "views/ContentView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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

std::optional<int> HalvexApp::handleLaunch(int argc, char *argv[], const QString &socketPath)
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
    if (SingleInstance(socketPath).handOver(togglePanelMessage))
        return 0;
    return std::nullopt;
}

int HalvexApp::run(int argc, char *argv[])
{
    const QString socketPath = SingleInstance::defaultSocketPath();
    if (const std::optional<int> status = handleLaunch(argc, argv, socketPath))
        return *status;

    QApplication app(argc, argv);
    setApplicationNames();
    installTranslators(app);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(TrayEntry::applicationIcon());

    // Claimed again under the lock: another launch may have come up meanwhile.
    SingleInstance instance(socketPath);
    switch (instance.claim(togglePanelMessage)) {
    case SingleInstance::Role::Secondary:
        return 0;
    case SingleInstance::Role::Unavailable:
        std::fputs("halvex: cannot check for a running Halvex; starting anyway\n", stderr);
        break;
    case SingleInstance::Role::Primary:
        break;
    }

    std::optional<PlatformServices> services = PlatformServices::create();
    if (!services) {
        std::fputs("halvex: cannot watch the X11 clipboard (no X display or no XFIXES extension)\n", stderr);
        return 1;
    }
    // The global hotkeys go through Qt's own connection (a null backend off
    // X11: the panel then has no shortcut).
    KeyboardShortcuts::resetState(KeyboardShortcuts::X11HotKeyBackend::create());
    KeyboardShortcuts::setPlatformServices(KeyboardShortcuts::x11PlatformServices());
    // Our own hotkeys are not "taken by the system".
    KeyboardShortcuts::platformServices().systemShortcuts->setOwnShortcutQuery(
        &KeyboardShortcuts::isOwnHotKey);
    int status = 0;
    {
        auto manager = std::make_unique<ClipboardManager>(std::move(services->pasteboard),
                                                          std::move(services->pasteSimulator),
                                                          std::move(services->textRecognizer));
        HalvexApp halvex(std::make_unique<AppDelegate>(std::move(manager), std::move(services->windowSystem),
                                                       std::move(services->keyboardGrab)),
                         std::move(services->loginItem), std::move(services->pastePermission));
        connect(&instance, &SingleInstance::messageReceived, &halvex, &HalvexApp::handleMessage);
        halvex.start();
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
}

void HalvexApp::handleMessage(const QByteArray &message)
{
    if (message == togglePanelMessage) {
        qCDebug(lcApp) << "another launch asks to toggle the panel";
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
