#include "clipboard/SnapshotPasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"

#include <QBuffer>
#include <QTimer>

SnapshotPasteboardProvider::SnapshotPasteboardProvider(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ClipboardSnapshot>();
}

void SnapshotPasteboardProvider::applySnapshot(const ClipboardSnapshot &snapshot)
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

void SnapshotPasteboardProvider::applyOwnWrite(ClipboardSnapshot snapshot)
{
    m_snapshot = std::move(snapshot);
    ++m_changeCount;
}

std::optional<QList<QImage>> SnapshotPasteboardProvider::readImages() const
{
    if (m_snapshot.images.isEmpty())
        return std::nullopt;
    return m_snapshot.images;
}

std::optional<QString> SnapshotPasteboardProvider::string(const QString &type) const
{
    if (type != plainTextType)
        return std::nullopt;
    return m_snapshot.text;
}

void SnapshotPasteboardProvider::clearContents()
{
    // Clearing first would be a second owner change: clear only if nothing
    // was written by the time control returns to the loop.
    m_clearPending = true;
    applyOwnWrite({});
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
    applyOwnWrite({{}, string});
    return owned;
}

bool SnapshotPasteboardProvider::writeImages(const QList<QImage> &images)
{
    if (images.isEmpty() || images.constFirst().isNull())
        return false;
    m_clearPending = false;
    // Encoded once here, not again for every application that asks.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!images.constFirst().save(&buffer, "PNG"))
        return false;
    const bool owned = writePng(png);
    applyOwnWrite({{images.constFirst()}, std::nullopt});
    return owned;
}
