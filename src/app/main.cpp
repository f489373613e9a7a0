#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/PlatformServices.h"
#include "KeyboardShortcuts/SystemShortcutSource.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"
#include "KeyboardShortcuts/x11/X11PlatformServices.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvex"));
    QApplication::setApplicationName(QStringLiteral("Halvex"));
    QApplication::setApplicationVersion(QStringLiteral(HALVEX_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Keyboard-first clipboard history"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    // Global hotkeys are grabs on Qt's own X connection; on any other
    // platform the null backend reports every registration as failed.
    KeyboardShortcuts::resetState(KeyboardShortcuts::X11HotKeyBackend::create());
    KeyboardShortcuts::setPlatformServices(KeyboardShortcuts::x11PlatformServices());
    // Our own hotkeys are not "taken by the system".
    KeyboardShortcuts::platformServices().systemShortcuts->setOwnShortcutQuery(
        &KeyboardShortcuts::isOwnHotKey);

    const int status = app.exec();
    // Let go of the grabs while the connection is still open.
    KeyboardShortcuts::resetState();
    return status;
}
