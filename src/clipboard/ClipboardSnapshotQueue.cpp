#include "clipboard/ClipboardSnapshotQueue.h"

#include "clipboard/ClipboardLogging.h"

void ClipboardSnapshotQueue::push(ClipboardSnapshot snapshot)
{
    bool announce = false;
    {
        const QMutexLocker lock(&m_mutex);
        if (m_snapshots.size() >= capacity)
            makeRoom();
        m_snapshots.append(std::move(snapshot));
        announce = !std::exchange(m_announced, true);
    }
    if (announce)
        Q_EMIT snapshotsAvailable();
}

QList<ClipboardSnapshot> ClipboardSnapshotQueue::takeAll()
{
    const QMutexLocker lock(&m_mutex);
    m_announced = false;
    return std::exchange(m_snapshots, {});
}

qsizetype ClipboardSnapshotQueue::size() const
{
    const QMutexLocker lock(&m_mutex);
    return m_snapshots.size();
}

void ClipboardSnapshotQueue::makeRoom()
{
    const qsizetype before = m_snapshots.size();
    m_snapshots.removeIf([](const ClipboardSnapshot &s) { return s.isEmpty(); });
    for (qsizetype i = m_snapshots.size() - 1; i > 0; --i) {
        const ClipboardSnapshot newer = m_snapshots.at(i); // a copy: the list shifts below
        for (qsizetype older = i - 1; older >= 0; --older) {
            if (ClipboardSnapshot::sameContent(m_snapshots.at(older), newer)) {
                m_snapshots.removeAt(older);
                --i;
            }
        }
    }
    if (m_snapshots.size() >= capacity)
        m_snapshots.removeFirst();
    qCDebug(lcClipboard) << "the clipboard queue backed up: kept" << m_snapshots.size() << "of" << before
                         << "snapshots";
}
