#pragma once

#include "clipboard/SnapshotPasteboardProvider.h"

#include <memory>

class X11ClipboardWatcher;

// The X11 clipboard for the history store.
//
// Reads never happen on the GUI thread: an X11ClipboardWatcher fetches each
// new clipboard content on its own thread and connection, prepares it there
// and queues it (SnapshotPasteboardProvider).
//
// Writes go through QClipboard, which serves other applications' requests;
// the resulting owner change (our own window) is not counted again. Images
// are written as their stored PNG bytes.
//
// Must be created and used on the GUI thread of a QGuiApplication running on
// the xcb platform.
class X11PasteboardProvider : public SnapshotPasteboardProvider
{
    Q_OBJECT

public:
    explicit X11PasteboardProvider(QObject *parent = nullptr);
    ~X11PasteboardProvider() override;

    // False when the clipboard cannot be watched (no X display, no XFixes).
    bool isValid() const;

protected:
    bool writeText(const QString &text) override;
    bool writePng(const QByteArray &png) override;
    void clearOwnContent() override;

private:
    std::unique_ptr<X11ClipboardWatcher> m_watcher;
};
