#include "clipboard/x11/X11PasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/x11/X11ClipboardWatcher.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <xcb/xcb.h>

X11PasteboardProvider::X11PasteboardProvider(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ClipboardSnapshot>();
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
    connect(m_watcher.get(), &X11ClipboardWatcher::snapshotFetched, this,
            &X11PasteboardProvider::applySnapshot, Qt::QueuedConnection);
    if (m_watcher->isValid())
        m_watcher->start();
}

X11PasteboardProvider::~X11PasteboardProvider() = default;

bool X11PasteboardProvider::isValid() const
{
    return m_watcher->isValid();
}

void X11PasteboardProvider::applySnapshot(const ClipboardSnapshot &snapshot)
{
    m_snapshot = snapshot;
    ++m_changeCount;
    if (!snapshot.images.isEmpty())
        qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds an image of"
                             << snapshot.images.constFirst().size();
    else if (snapshot.text)
        qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds a text of"
                             << snapshot.text->size() << "characters";
    else
        qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds nothing readable";
    Q_EMIT snapshotChanged(m_changeCount);
}

void X11PasteboardProvider::applyOwnWrite(ClipboardSnapshot snapshot)
{
    m_snapshot = std::move(snapshot);
    ++m_changeCount;
}

std::optional<QList<QImage>> X11PasteboardProvider::readImages() const
{
    if (m_snapshot.images.isEmpty())
        return std::nullopt;
    return m_snapshot.images;
}

std::optional<QString> X11PasteboardProvider::string(const QString &type) const
{
    if (type != plainTextType)
        return std::nullopt;
    return m_snapshot.text;
}

void X11PasteboardProvider::clearContents()
{
    // A write usually follows at once and replaces the content anyway;
    // clearing the selection first would be a second owner change. Clear
    // only if nothing was written by the time control returns to the loop.
    m_clearPending = true;
    applyOwnWrite({});
    QTimer::singleShot(0, this, &X11PasteboardProvider::clearIfStillPending);
}

void X11PasteboardProvider::clearIfStillPending()
{
    if (!std::exchange(m_clearPending, false))
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard(); clipboard->ownsClipboard())
        clipboard->clear(QClipboard::Clipboard);
}

bool X11PasteboardProvider::setString(const QString &string, const QString &type)
{
    if (type != plainTextType)
        return false;
    m_clearPending = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(string, QClipboard::Clipboard);
    applyOwnWrite({{}, string});
    return clipboard->ownsClipboard();
}

bool X11PasteboardProvider::writeImages(const QList<QImage> &images)
{
    if (images.isEmpty() || images.constFirst().isNull())
        return false;
    m_clearPending = false;
    // Encode once here: QClipboard::setImage() would encode again for every
    // application that asks.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!images.constFirst().save(&buffer, "PNG"))
        return false;
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setData(QStringLiteral("image/png"), png);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mimeData.release(), QClipboard::Clipboard); // the clipboard takes ownership
    applyOwnWrite({{images.constFirst()}, std::nullopt});
    return clipboard->ownsClipboard();
}
