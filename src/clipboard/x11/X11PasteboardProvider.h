#pragma once

#include "clipboard/ClipboardSnapshotQueue.h"
#include "clipboard/PasteboardProvider.h"

#include <QObject>

#include <memory>

class X11ClipboardWatcher;

// The X11 clipboard for the history store.
//
// Reads never happen on the GUI thread: an X11ClipboardWatcher fetches each
// new clipboard content on its own thread and connection, prepares it there
// and queues it (ClipboardSnapshotQueue); the store is told when snapshots
// are waiting and takes them all. Each snapshot handed out moves the change
// counter by one, so the counter never moves without its content; readImages()
// and string() answer from the newest one.
//
// Writes go through QClipboard, which serves other applications' requests;
// the counter moves once inside each write call and the resulting owner
// change (our own window) is not counted again. Images are written as their
// stored PNG bytes.
//
// Must be created and used on the GUI thread of a QGuiApplication running on
// the xcb platform.
class X11PasteboardProvider : public QObject, public PasteboardProvider
{
    Q_OBJECT

public:
    explicit X11PasteboardProvider(QObject *parent = nullptr);
    ~X11PasteboardProvider() override;

    // False when the clipboard cannot be watched (no X display, no XFixes).
    bool isValid() const;

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

private:
    void applyOwnWrite(std::optional<ClipboardImage> image, std::optional<QString> text);
    void clearIfStillPending();

    // Declared before the watcher, whose thread pushes into it: destroyed after.
    ClipboardSnapshotQueue m_queue;
    std::unique_ptr<X11ClipboardWatcher> m_watcher;
    // What the clipboard holds as far as the GUI thread knows: the newest
    // snapshot handed out, or our own write.
    std::optional<ClipboardImage> m_image;
    std::optional<ClipboardText> m_text;
    std::optional<QString> m_ownText;
    qint64 m_changeCount = 0;
    bool m_clearPending = false;
};
