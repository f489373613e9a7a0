#pragma once

#include "clipboard/SnapshotPasteboardProvider.h"
#include "clipboard/wayland/WaylandClipboardWatcher.h"

#include <memory>

// The Wayland clipboard for the history store, through the compositor's
// data-control protocol.
//
// Reads never happen on the GUI thread: a WaylandClipboardWatcher reads each
// new selection on its own thread and connection, prepares it there and
// queues it (SnapshotPasteboardProvider). Images are written as their stored
// PNG bytes.
//
// Writes make Halvex the clipboard's owner on the watcher's connection (no
// keyboard focus needed), serving the entry until another application takes
// the clipboard; the selection change that follows is recognised as ours and
// not counted again.
class WaylandPasteboardProvider : public SnapshotPasteboardProvider
{
    Q_OBJECT

public:
    using Protocol = WaylandClipboardWatcher::Protocol;

    explicit WaylandPasteboardProvider(Protocol protocol, QObject *parent = nullptr);
    ~WaylandPasteboardProvider() override;

    // False when the compositor offers no clipboard access.
    bool isValid() const { return m_watcher->isValid(); }

    // Waits until the compositor has the selection of the last write, so
    // that a paste chord sent after it cannot reach the target first.
    bool waitUntilWritten(QDeadlineTimer deadline) override;

protected:
    bool writeText(const QString &text) override;
    bool writePng(const QByteArray &png) override;
    void clearOwnContent() override;

private:
    std::unique_ptr<WaylandClipboardWatcher> m_watcher;
    quint64 m_lastWrite = 0;
};
