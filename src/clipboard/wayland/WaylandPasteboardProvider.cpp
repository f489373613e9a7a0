#include "clipboard/wayland/WaylandPasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"

#include <QBuffer>
#include <QTimer>

WaylandPasteboardProvider::WaylandPasteboardProvider(Protocol protocol, QObject *parent)
    : QObject(parent)
    , m_watcher(std::make_unique<WaylandClipboardWatcher>(protocol))
{
    connect(m_watcher.get(), &WaylandClipboardWatcher::snapshotFetched, this,
            &WaylandPasteboardProvider::applySnapshot, Qt::QueuedConnection);
    if (m_watcher->isValid())
        m_watcher->start();
}

WaylandPasteboardProvider::~WaylandPasteboardProvider() = default;

void WaylandPasteboardProvider::applySnapshot(const ClipboardSnapshot &snapshot)
{
    m_snapshot = snapshot;
    ++m_changeCount;
    qCDebug(lcClipboard) << "clipboard change" << m_changeCount << "holds"
                         << (!snapshot.images.isEmpty() ? "an image"
                                 : snapshot.text        ? "a text"
                                                        : "nothing readable");
    Q_EMIT snapshotChanged(m_changeCount);
}

void WaylandPasteboardProvider::applyOwnWrite(ClipboardSnapshot snapshot)
{
    m_snapshot = std::move(snapshot);
    ++m_changeCount;
}

std::optional<QList<QImage>> WaylandPasteboardProvider::readImages() const
{
    if (m_snapshot.images.isEmpty())
        return std::nullopt;
    return m_snapshot.images;
}

std::optional<QString> WaylandPasteboardProvider::string(const QString &type) const
{
    if (type != plainTextType)
        return std::nullopt;
    return m_snapshot.text;
}

void WaylandPasteboardProvider::clearContents()
{
    // A write usually follows at once and replaces the content anyway; clear
    // only if nothing was written by the time control returns to the loop.
    m_clearPending = true;
    applyOwnWrite({});
    QTimer::singleShot(0, this, [this] {
        if (std::exchange(m_clearPending, false))
            m_watcher->clearSelection();
    });
}

bool WaylandPasteboardProvider::setString(const QString &string, const QString &type)
{
    if (type != plainTextType || !m_watcher->isValid())
        return false;
    m_clearPending = false;
    const QByteArray utf8 = string.toUtf8();
    m_watcher->setSelection({{"text/plain;charset=utf-8", utf8},
                             {"text/plain", utf8},
                             {"UTF8_STRING", utf8},
                             {"TEXT", utf8},
                             {"STRING", string.toLatin1()}});
    applyOwnWrite({{}, string});
    return true;
}

bool WaylandPasteboardProvider::writeImages(const QList<QImage> &images)
{
    if (images.isEmpty() || images.constFirst().isNull() || !m_watcher->isValid())
        return false;
    m_clearPending = false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!images.constFirst().save(&buffer, "PNG"))
        return false;
    m_watcher->setSelection({{"image/png", png}});
    applyOwnWrite({{images.constFirst()}, std::nullopt});
    return true;
}
