#include "clipboard/ClipboardManager.h"
#include "clipboard/NullPasteSimulator.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"
#include "clipboard/tesseract/OpenMpEnvironment.h"
#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"
#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/x11/X11HotKeyBackend.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// The platform services, chosen here and nowhere else.
struct PlatformServices
{
    std::unique_ptr<PasteboardProvider> pasteboard;
    std::unique_ptr<PasteSimulator> pasteSimulator;
    std::shared_ptr<TextRecognizer> textRecognizer;
};

std::optional<PlatformServices> createPlatformServices()
{
    auto pasteboard = std::make_unique<X11PasteboardProvider>();
    if (!pasteboard->isValid())
        return std::nullopt;
    // Without XTEST nothing can type the paste chord: entries are then only
    // written to the clipboard.
    std::unique_ptr<PasteSimulator> pasteSimulator;
    if (auto xtest = std::make_unique<XTestPasteSimulator>(); xtest->isAvailable())
        pasteSimulator = std::move(xtest);
    else
        pasteSimulator = std::make_unique<NullPasteSimulator>();
    return PlatformServices {std::move(pasteboard), std::move(pasteSimulator),
                             std::make_shared<TesseractTextRecognizer>()};
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything else: may replace this process with a fresh copy.
    restartWithSingleThreadedOpenMp(argv);

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

    // Global hotkeys are grabs on Qt's own X connection; on any other
    // platform the null backend reports every registration as failed.
    KeyboardShortcuts::resetState(KeyboardShortcuts::X11HotKeyBackend::create());

    const int status = app.exec();
    // Let go of the grabs while the connection is still open.
    KeyboardShortcuts::resetState();
    return status;
}
