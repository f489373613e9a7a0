#include "clipboard/ClipboardManager.h"
#include "clipboard/NullPasteSimulator.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

// The platform services, chosen here and nowhere else.
struct PlatformServices
{
    std::unique_ptr<PasteboardProvider> pasteboard;
    std::unique_ptr<PasteSimulator> pasteSimulator;
    std::shared_ptr<TextRecognizer> textRecognizer; // none yet: images are kept without text
};

std::optional<PlatformServices> createPlatformServices()
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return std::nullopt;
    return PlatformServices {std::move(pasteboard), std::make_unique<NullPasteSimulator>(), nullptr};
}

} // namespace

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

    std::optional<PlatformServices> services = createPlatformServices();
    if (!services) {
        std::fputs("halvex: cannot watch the X11 clipboard (no X display or no XFIXES extension)\n", stderr);
        return 1;
    }
    ClipboardManager manager(std::move(services->pasteboard), std::move(services->pasteSimulator),
                             std::move(services->textRecognizer));

    return app.exec();
}
