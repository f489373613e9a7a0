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

    return app.exec();
}
