#pragma once

#include "clipboard/ClipboardSnapshot.h"
#include "clipboard/PasteboardProvider.h"

#include <QObject>

// A clipboard that a watcher thread reads: the history store's synchronous
// calls are answered at once from the latest complete snapshot, and each
// snapshot the watcher publishes moves the change counter by one, so the
// counter never moves without its content.
//
// Writes go to the platform (writeText(), writePng(), encoded once here);
// the counter moves once inside each write call, and the platform
// implementation makes sure the change that follows is not published again.
// A clear is held back until control returns to the event loop, since a
// write usually follows at once and replaces the content anyway.
class SnapshotPasteboardProvider : public QObject, public PasteboardProvider
{
    Q_OBJECT

public:
    qint64 changeCount() const override { return m_changeCount; }
    std::optional<QList<QImage>> readImages() const override;
    std::optional<QString> string(const QString &type) const override;
    void clearContents() override;
    bool setString(const QString &string, const QString &type) override;
    bool writeImages(const QList<QImage> &images) override;

Q_SIGNALS:
    // A new clipboard content was read (or found empty); changeCount moved.
    void snapshotChanged(qint64 changeCount);

protected:
    explicit SnapshotPasteboardProvider(QObject *parent = nullptr);

    // What the watcher read; connect its signal here (queued).
    void applySnapshot(const ClipboardSnapshot &snapshot);

    // The platform's writes; true when the clipboard is ours afterwards.
    virtual bool writeText(const QString &text) = 0;
    virtual bool writePng(const QByteArray &png) = 0;
    // Empties the clipboard if it is still ours.
    virtual void clearOwnContent() = 0;

private:
    void applyOwnWrite(ClipboardSnapshot snapshot);

    ClipboardSnapshot m_snapshot;
    qint64 m_changeCount = 0;
    bool m_clearPending = false;
};
