#include "clipboard/x11/X11PasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/x11/X11ClipboardWatcher.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <xcb/xcb.h>

X11PasteboardProvider::X11PasteboardProvider(QObject *parent)
    : SnapshotPasteboardProvider(parent)
{
    // Owner windows created by Qt's own connection are ours: their ids share
    // the connection's resource-id base.
    xcb_window_t ownBase = 0;
    uint32_t ownMask = 0;
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (xcb_connection_t *qtConnection = x11->connection()) {
            const xcb_setup_t *setup = xcb_get_setup(qtConnection);
            ownBase = setup->resource_id_base;
            ownMask = setup->resource_id_mask;
        }
    }
    if (ownMask == 0)
        qCWarning(lcClipboard) << "not on the xcb platform: our own clipboard writes cannot be recognised";

    m_watcher = std::make_unique<X11ClipboardWatcher>(ownBase, ownMask);
    // Queued on the watcher's thread, as it is prepared there.
    connect(
        m_watcher.get(), &X11ClipboardWatcher::snapshotFetched, this,
        [this](const ClipboardSnapshot &snapshot) { queueSnapshot(snapshot); }, Qt::DirectConnection);
    if (m_watcher->isValid())
        m_watcher->start();
}

X11PasteboardProvider::~X11PasteboardProvider() = default;

bool X11PasteboardProvider::isValid() const
{
    return m_watcher->isValid();
}

bool X11PasteboardProvider::writeText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    return clipboard->ownsClipboard();
}

bool X11PasteboardProvider::writePng(const QByteArray &png)
{
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setData(QStringLiteral("image/png"), png);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mimeData.release(), QClipboard::Clipboard); // the clipboard takes ownership
    return clipboard->ownsClipboard();
}

void X11PasteboardProvider::clearOwnContent()
{
    if (QClipboard *clipboard = QGuiApplication::clipboard(); clipboard->ownsClipboard())
        clipboard->clear(QClipboard::Clipboard);
}
