#include "clipboard/wayland/WaylandPasteboardProvider.h"

WaylandPasteboardProvider::WaylandPasteboardProvider(Protocol protocol, QObject *parent)
    : SnapshotPasteboardProvider(parent)
    , m_watcher(std::make_unique<WaylandClipboardWatcher>(protocol))
{
    // Queued on the watcher's thread, as it is prepared there.
    connect(
        m_watcher.get(), &WaylandClipboardWatcher::snapshotFetched, this,
        [this](const ClipboardSnapshot &snapshot) { queueSnapshot(snapshot); }, Qt::DirectConnection);
    if (m_watcher->isValid())
        m_watcher->start();
}

WaylandPasteboardProvider::~WaylandPasteboardProvider() = default;

bool WaylandPasteboardProvider::writeText(const QString &text)
{
    if (!m_watcher->isValid())
        return false;
    const QByteArray utf8 = text.toUtf8();
    m_lastWrite = m_watcher->setSelection({{"text/plain;charset=utf-8", utf8},
                                           {"text/plain", utf8},
                                           {"UTF8_STRING", utf8},
                                           {"TEXT", utf8},
                                           {"STRING", text.toLatin1()}});
    return true;
}

bool WaylandPasteboardProvider::writePng(const QByteArray &png)
{
    if (!m_watcher->isValid())
        return false;
    m_lastWrite = m_watcher->setSelection({{"image/png", png}});
    return true;
}

bool WaylandPasteboardProvider::waitUntilWritten(QDeadlineTimer deadline)
{
    return m_lastWrite == 0 || m_watcher->waitUntilOffered(m_lastWrite, deadline);
}

void WaylandPasteboardProvider::clearOwnContent()
{
    m_watcher->clearSelection();
}
