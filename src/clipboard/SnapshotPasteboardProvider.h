#pragma once

#include "clipboard/ClipboardImage.h"
#include "clipboard/ClipboardSnapshot.h"
#include "clipboard/ClipboardSnapshotQueue.h"
#include "clipboard/ClipboardText.h"
#include "clipboard/PasteboardProvider.h"

#include <QObject>

#include <optional>

// A clipboard that a watcher thread reads and prepares (a queuing provider,
// see PasteboardProvider). The watcher hands each prepared snapshot to
// queueSnapshot() on its own thread; the store is told on the GUI thread when
// snapshots are waiting and takes them all. Each snapshot handed out moves
// the change counter by one, so the counter never moves without its content;
// readImages() and string() answer from the newest one.
//
// Writes go to the platform (writeText(), writePng() with the entry's stored
// PNG bytes); the counter moves once inside each write call, and the platform
// implementation makes sure the change that follows is not queued. A clear
// is held back until control returns to the event loop, since a write usually
// follows at once and replaces the content anyway.
//
// A subclass must stop its watcher in its own destructor: the queue, a member
// of this class, outlives it then.
class SnapshotPasteboardProvider : public QObject, public PasteboardProvider
{
    Q_OBJECT

public:
    qint64 changeCount() const override { return m_changeCount; }
    std::optional<QList<QImage>> readImages() const override;
    std::optional<QString> string(const QString &type) const override;
    void clearContents() override;
    bool setString(const QString &string, const QString &type) override;
    bool writeImages(const QList<ClipboardImage> &images) override;
    bool queuesSnapshots() const override { return true; }
    QList<ClipboardSnapshot> takeSnapshots() override;

Q_SIGNALS:
    // A snapshot was handed out (content read, or found empty); changeCount moved.
    void snapshotChanged(qint64 changeCount);

protected:
    explicit SnapshotPasteboardProvider(QObject *parent = nullptr);

    // Thread-safe: the watcher calls it on its own thread.
    void queueSnapshot(ClipboardSnapshot snapshot);

    // The platform's writes; true when the clipboard is ours afterwards.
    virtual bool writeText(const QString &text) = 0;
    virtual bool writePng(const QByteArray &png) = 0;
    // Empties the clipboard if it is still ours.
    virtual void clearOwnContent() = 0;

private:
    void applyOwnWrite(std::optional<ClipboardImage> image, std::optional<QString> text);

    ClipboardSnapshotQueue m_queue;
    // What the clipboard holds as far as the GUI thread knows: the newest
    // snapshot handed out, or our own write.
    std::optional<ClipboardImage> m_image;
    std::optional<ClipboardText> m_text;
    std::optional<QString> m_ownText;
    qint64 m_changeCount = 0;
    bool m_clearPending = false;
};
