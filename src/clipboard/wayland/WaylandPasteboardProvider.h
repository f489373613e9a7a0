#pragma once

#include "clipboard/ClipboardSnapshot.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/wayland/WaylandClipboardWatcher.h"

#include <QObject>

#include <memory>

// The Wayland clipboard for the history store, through the compositor's
// data-control protocol.
//
// Reads never happen on the GUI thread: a WaylandClipboardWatcher reads each
// new selection on its own thread and connection, and this object answers
// changeCount(), readImages() and string() at once from the latest complete
// snapshot; each snapshot moves the change counter by one.
//
// Writes make Halvex the clipboard's owner on the watcher's connection (no
// keyboard focus needed), serving the entry until another application takes
// the clipboard. The counter moves once inside each write call; the selection
// change that follows is recognised as ours and not counted again. Images are
// offered as PNG, encoded once.
class WaylandPasteboardProvider : public QObject, public PasteboardProvider
{
    Q_OBJECT

public:
    using Protocol = WaylandClipboardWatcher::Protocol;

    explicit WaylandPasteboardProvider(Protocol protocol, QObject *parent = nullptr);
    ~WaylandPasteboardProvider() override;

    // False when the compositor offers no clipboard access.
    bool isValid() const { return m_watcher->isValid(); }

    qint64 changeCount() const override { return m_changeCount; }
    std::optional<QList<QImage>> readImages() const override;
    std::optional<QString> string(const QString &type) const override;
    void clearContents() override;
    bool setString(const QString &string, const QString &type) override;
    bool writeImages(const QList<QImage> &images) override;

Q_SIGNALS:
    // A new clipboard content was read (or found empty); changeCount moved.
    void snapshotChanged(qint64 changeCount);

private:
    void applySnapshot(const ClipboardSnapshot &snapshot);
    void applyOwnWrite(ClipboardSnapshot snapshot);

    std::unique_ptr<WaylandClipboardWatcher> m_watcher;
    ClipboardSnapshot m_snapshot;
    qint64 m_changeCount = 0;
    bool m_clearPending = false;
};
