#include "clipboard/x11/X11PasteboardProvider.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/x11/X11ClipboardWatcher.h"
#include "x11/XcbReply.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <xcb/xcb.h>

X11PasteboardProvider::X11PasteboardProvider(QObject *parent)
    : SnapshotPasteboardProvider(parent)
{
    // Owner windows created by Qt's own connection are ours: their ids share
    // the connection's resource-id base.
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (xcb_connection_t *qtConnection = x11->connection()) {
            const xcb_setup_t *setup = xcb_get_setup(qtConnection);
            m_qtConnection = qtConnection;
            m_ownBase = setup->resource_id_base;
            m_ownMask = setup->resource_id_mask;
            XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
                qtConnection, xcb_intern_atom(qtConnection, false, 9, "CLIPBOARD"), nullptr));
            m_clipboardAtom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
        }
    }
    if (m_ownMask == 0)
        qCWarning(lcClipboard) << "not on the xcb platform: our own clipboard writes cannot be recognised";

    m_watcher = std::make_unique<X11ClipboardWatcher>(m_ownBase, m_ownMask);
    // Queued on the watcher's thread, as it is prepared there.
    connect(
        m_watcher.get(), &X11ClipboardWatcher::snapshotFetched, this,
        [this](const ClipboardSnapshot &snapshot) { queueSnapshot(snapshot); }, Qt::DirectConnection);
    if (m_watcher->isValid())
        m_watcher->start();
}

X11PasteboardProvider::~X11PasteboardProvider() = default;

bool X11PasteboardProvider::isValid() const
{
    return m_watcher->isValid();
}

bool X11PasteboardProvider::writeText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    return ownsClipboardSelection();
}

bool X11PasteboardProvider::writePng(const QByteArray &png)
{
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setData(QStringLiteral("image/png"), png);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mimeData.release(), QClipboard::Clipboard); // the clipboard takes ownership
    return ownsClipboardSelection();
}

// QClipboard counts a write as ours even when the X server refused it (the
// write carried a time older than the current owner's, as happens while Qt
// has not yet seen that owner's change); the server's answer is the truth.
bool X11PasteboardProvider::ownsClipboardSelection() const
{
    if (!m_qtConnection || m_clipboardAtom == XCB_ATOM_NONE)
        return QGuiApplication::clipboard()->ownsClipboard();
    XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_qtConnection, xcb_get_selection_owner(m_qtConnection, m_clipboardAtom), nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE && (reply->owner & ~m_ownMask) == m_ownBase;
}

void X11PasteboardProvider::clearOwnContent()
{
    if (QClipboard *clipboard = QGuiApplication::clipboard(); clipboard->ownsClipboard())
        clipboard->clear(QClipboard::Clipboard);
}
