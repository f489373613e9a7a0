#pragma once

#include "clipboard/ClipboardSnapshot.h"
#include "clipboard/PasteboardProvider.h"

#include <QObject>

#include <memory>

class X11ClipboardWatcher;

// The X11 clipboard for the history store.
//
// Reads never happen on the GUI thread: an X11ClipboardWatcher fetches each
// new clipboard content on its own thread and connection, and this object
// answers changeCount(), readImages() and string() at once from the latest
// complete snapshot. Each snapshot that arrives moves the change counter by
// one, so the counter never moves without its content.
//
// Writes go through QClipboard, which serves other applications' requests;
// the counter moves once inside each write call and the resulting owner
// change (our own window) is not counted again. Images are written as PNG,
// encoded once.
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
    bool writeImages(const QList<QImage> &images) override;

Q_SIGNALS:
    // A new clipboard content was read (or found empty); changeCount moved.
    void snapshotChanged(qint64 changeCount);

private:
    void applySnapshot(const ClipboardSnapshot &snapshot);
    void applyOwnWrite(ClipboardSnapshot snapshot);
    void clearIfStillPending();

    std::unique_ptr<X11ClipboardWatcher> m_watcher;
    ClipboardSnapshot m_snapshot;
    qint64 m_changeCount = 0;
    bool m_clearPending = false;
};
