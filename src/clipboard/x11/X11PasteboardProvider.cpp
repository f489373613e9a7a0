#include "clipboard/x11/X11PasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/x11/X11ClipboardWatcher.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <xcb/xcb.h>

X11PasteboardProvider::X11PasteboardProvider(QObject *parent)
    : QObject(parent)
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
    // Pushed on the watcher's thread; the store hears of it on ours.
    connect(
        m_watcher.get(), &X11ClipboardWatcher::snapshotFetched, &m_queue,
        [this](const ClipboardSnapshot &snapshot) { m_queue.push(snapshot); }, Qt::DirectConnection);
    connect(
        &m_queue, &ClipboardSnapshotQueue::snapshotsAvailable, this, [this] { announceSnapshots(); },
        Qt::QueuedConnection);
    if (m_watcher->isValid())
        m_watcher->start();
}

X11PasteboardProvider::~X11PasteboardProvider() = default;

bool X11PasteboardProvider::isValid() const
{
    return m_watcher->isValid();
}

QList<ClipboardSnapshot> X11PasteboardProvider::takeSnapshots()
{
    QList<ClipboardSnapshot> snapshots = m_queue.takeAll();
    for (ClipboardSnapshot &snapshot : snapshots) {
        snapshot.changeCount = ++m_changeCount;
        m_image = snapshot.image;
        m_text = snapshot.text;
        m_ownText.reset();
        if (snapshot.image)
            qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds an image of"
                                 << snapshot.image->size();
        else if (snapshot.text)
            qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds a text of"
                                 << snapshot.text->size() << "characters";
        else
            qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds nothing readable";
        Q_EMIT snapshotChanged(m_changeCount);
    }
    return snapshots;
}

void X11PasteboardProvider::applyOwnWrite(std::optional<ClipboardImage> image, std::optional<QString> text)
{
    m_image = std::move(image);
    m_text.reset();
    m_ownText = std::move(text);
    ++m_changeCount;
}

std::optional<QList<QImage>> X11PasteboardProvider::readImages() const
{
    if (!m_image)
        return std::nullopt;
    return QList<QImage> {m_image->decode()};
}

std::optional<QString> X11PasteboardProvider::string(const QString &type) const
{
    if (type != plainTextType)
        return std::nullopt;
    if (m_ownText)
        return m_ownText;
    return m_text ? std::optional<QString>(m_text->toString()) : std::nullopt;
}

void X11PasteboardProvider::clearContents()
{
    // A write usually follows at once and replaces the content anyway;
    // clearing the selection first would be a second owner change. Clear
    // only if nothing was written by the time control returns to the loop.
    m_clearPending = true;
    applyOwnWrite(std::nullopt, std::nullopt);
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
    applyOwnWrite(std::nullopt, string);
    return clipboard->ownsClipboard();
}

bool X11PasteboardProvider::writeImages(const QList<ClipboardImage> &images)
{
    if (images.isEmpty() || images.constFirst().png().isEmpty())
        return false;
    m_clearPending = false;
    // The stored bytes as they are: QClipboard::setImage() would encode again
    // for every application that asks.
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setData(QStringLiteral("image/png"), images.constFirst().png());
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mimeData.release(), QClipboard::Clipboard); // the clipboard takes ownership
    applyOwnWrite(images.constFirst(), std::nullopt);
    return clipboard->ownsClipboard();
}
