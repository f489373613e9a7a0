#include "fakes/FakePasteboardProvider.h"

FakePasteboardProvider::FakePasteboardProvider()
{
    QObject::connect(
        &m_queue, &ClipboardSnapshotQueue::snapshotsAvailable, &m_queue, [this] { announceSnapshots(); },
        Qt::QueuedConnection);
}

void FakePasteboardProvider::copied()
{
    if (!m_queuing) {
        ++m_changeCount;
        return;
    }
    ClipboardSnapshot snapshot;
    if (m_images && !m_images->isEmpty())
        snapshot.image = ClipboardImage::fromImage(m_images->constFirst());
    else if (m_text)
        snapshot.text = ClipboardText::fromString(*m_text);
    m_queue.push(snapshot);
}

void FakePasteboardProvider::copyText(const QString &text)
{
    m_images.reset();
    m_text = text;
    copied();
}

void FakePasteboardProvider::copyImages(const QList<QImage> &images)
{
    m_images = images;
    m_text.reset();
    copied();
}

void FakePasteboardProvider::copyImagesAndText(const QList<QImage> &images, const QString &text)
{
    m_images = images;
    m_text = text;
    copied();
}

QList<ClipboardSnapshot> FakePasteboardProvider::takeSnapshots()
{
    QList<ClipboardSnapshot> snapshots = m_queue.takeAll();
    for (ClipboardSnapshot &snapshot : snapshots)
        snapshot.changeCount = ++m_changeCount;
    return snapshots;
}

std::optional<QList<QImage>> FakePasteboardProvider::readImages() const
{
    return m_images;
}

std::optional<QString> FakePasteboardProvider::string(const QString &type) const
{
    return type == plainTextType ? m_text : std::nullopt;
}

void FakePasteboardProvider::clearContents()
{
    ++m_changeCount;
    m_images.reset();
    m_text.reset();
}

bool FakePasteboardProvider::setString(const QString &string, const QString &type)
{
    if (type != plainTextType)
        return false;
    ++m_changeCount;
    ++m_writeCount;
    m_text = string;
    return m_writes != Writes::Refused;
}

bool FakePasteboardProvider::writeImages(const QList<ClipboardImage> &images)
{
    ++m_changeCount;
    ++m_writeCount;
    m_images
        = QList<QImage> {images.isEmpty() ? QImage() : QImage::fromData(images.constFirst().png(), "PNG")};
    return m_writes != Writes::Refused;
}
