#pragma once

#include "clipboard/ClipboardImage.h"
#include "clipboard/ClipboardSnapshot.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The history store's only way to the system clipboard. Everything here is
// called on the GUI thread.
//
// Reading comes in one of two shapes, chosen by queuesSnapshots():
//
//   - Polled (false): the store reads changeCount() every 0.5 s and, when it
//     moved, reads the content at once with readImages() and string(). For a
//     clipboard that answers synchronously and cheaply.
//
//   - Queued (true): the provider reads every change itself, off the GUI
//     thread, prepares it (ClipboardSnapshot: hashes, thumbnail, display and
//     search forms) and queues it. When snapshots are waiting it calls the
//     handler given to setSnapshotHandler() on the GUI thread, once per batch;
//     the store then takes them all with takeSnapshots() and records each in
//     order. Nothing polls, so an idle clipboard costs nothing. Each snapshot
//     carries its own change counter value; changeCount() is the value of
//     the newest snapshot handed out or of the provider's own newest write.
//     Snapshots are never queued for the provider's own writes.
//
// Writes are the same in both shapes: the change counter moves inside the
// write call, so the store can take the new value as consumed.
class PasteboardProvider
{
public:
    // MIME type of plain text, the only text type the history uses.
    static inline const QString plainTextType = QStringLiteral("text/plain");

    virtual ~PasteboardProvider() = default;

    // Changes whenever any application rewrites the clipboard. Only equality
    // with a remembered value is meaningful: it may go down or wrap.
    virtual qint64 changeCount() const = 0;

    // The images on the clipboard; absent when there are none or they cannot
    // be read.
    virtual std::optional<QList<QImage>> readImages() const = 0;

    // The string of the given type; absent when the clipboard has none.
    virtual std::optional<QString> string(const QString &type) const = 0;

    virtual void clearContents() = 0;
    virtual bool setString(const QString &string, const QString &type) = 0;
    // Offers the first image's PNG bytes as they are.
    virtual bool writeImages(const QList<ClipboardImage> &images) = 0;
    // Blocks until the last write has reached the system clipboard, for
    // providers that hand writes to another thread; false when it had not by
    // the deadline.
    virtual bool waitUntilWritten(QDeadlineTimer deadline)
    {
        Q_UNUSED(deadline);
        return true;
    }

    // True for a provider that reads and queues every change itself.
    virtual bool queuesSnapshots() const { return false; }
    // The queued snapshots, oldest first, each with its change counter value.
    virtual QList<ClipboardSnapshot> takeSnapshots() { return {}; }
    // Called on the GUI thread when snapshots are waiting to be taken.
    void setSnapshotHandler(std::function<void()> handler) { m_snapshotHandler = std::move(handler); }

protected:
    // Calls the snapshot handler.
    void announceSnapshots() const
    {
        if (m_snapshotHandler)
            m_snapshotHandler();
    }

private:
    std::function<void()> m_snapshotHandler;
};
