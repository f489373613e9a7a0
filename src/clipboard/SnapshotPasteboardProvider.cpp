#include "clipboard/SnapshotPasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"

#include <QTimer>

SnapshotPasteboardProvider::SnapshotPasteboardProvider(QObject *parent)
    : QObject(parent)
{
    // Announced on the watcher's thread; the store hears of it on ours.
    connect(
        &m_queue, &ClipboardSnapshotQueue::snapshotsAvailable, this, [this] { announceSnapshots(); },
        Qt::QueuedConnection);
}

void SnapshotPasteboardProvider::queueSnapshot(ClipboardSnapshot snapshot)
{
    m_queue.push(std::move(snapshot));
}

QList<ClipboardSnapshot> SnapshotPasteboardProvider::takeSnapshots()
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

void SnapshotPasteboardProvider::applyOwnWrite(std::optional<ClipboardImage> image,
                                               std::optional<QString> text)
{
    m_image = std::move(image);
    m_text.reset();
    m_ownText = std::move(text);
    ++m_changeCount;
}

std::optional<QList<QImage>> SnapshotPasteboardProvider::readImages() const
{
    if (!m_image)
        return std::nullopt;
    return QList<QImage> {m_image->decode()};
}

std::optional<QString> SnapshotPasteboardProvider::string(const QString &type) const
{
    if (type != plainTextType)
        return std::nullopt;
    if (m_ownText)
        return m_ownText;
    return m_text ? std::optional<QString>(m_text->toString()) : std::nullopt;
}

void SnapshotPasteboardProvider::clearContents()
{
    // Clearing first would be a second owner change: clear only if nothing
    // was written by the time control returns to the loop.
    m_clearPending = true;
    applyOwnWrite(std::nullopt, std::nullopt);
    QTimer::singleShot(0, this, [this] {
        if (std::exchange(m_clearPending, false))
            clearOwnContent();
    });
}

bool SnapshotPasteboardProvider::setString(const QString &string, const QString &type)
{
    if (type != plainTextType)
        return false;
    m_clearPending = false;
    const bool owned = writeText(string);
    applyOwnWrite(std::nullopt, string);
    return owned;
}

bool SnapshotPasteboardProvider::writeImages(const QList<ClipboardImage> &images)
{
    if (images.isEmpty() || images.constFirst().png().isEmpty())
        return false;
    m_clearPending = false;
    // The stored bytes as they are, not encoded again for every reader.
    const bool owned = writePng(images.constFirst().png());
    applyOwnWrite(images.constFirst(), std::nullopt);
    return owned;
}
