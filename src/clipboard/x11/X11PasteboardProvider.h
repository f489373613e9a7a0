#pragma once

#include "clipboard/SnapshotPasteboardProvider.h"

#include <cstdint>
#include <memory>

struct xcb_connection_t;

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
    bool ownsClipboardSelection() const;

    std::unique_ptr<X11ClipboardWatcher> m_watcher;
    // Qt's own connection and the id range of its windows; no connection off xcb.
    xcb_connection_t *m_qtConnection = nullptr;
    uint32_t m_ownBase = 0;
    uint32_t m_ownMask = 0;
    uint32_t m_clipboardAtom = 0;
};
