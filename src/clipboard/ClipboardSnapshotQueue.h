#pragma once

#include "clipboard/ClipboardSnapshot.h"

#include <QList>
#include <QMutex>
#include <QObject>

// The snapshots a provider read on its own thread and the history store has
// not taken yet, oldest first. Thread-safe.
//
// Bounded: once it holds capacity snapshots, each new one first makes room by
// coalescing, in this order: snapshots with nothing to record go, then older
// snapshots whose content a newer one repeats (recording both would leave
// the same history), then the oldest. Behind capacity distinct newer ones,
// the oldest could only be trimmed from a history of that length anyway.
class ClipboardSnapshotQueue : public QObject
{
    Q_OBJECT

public:
    // The history's length: more snapshots than this cannot all matter.
    static constexpr qsizetype capacity = 100;

    using QObject::QObject;

    void push(ClipboardSnapshot snapshot);
    // Everything queued, oldest first; the queue is empty afterwards.
    QList<ClipboardSnapshot> takeAll();
    qsizetype size() const;

Q_SIGNALS:
    // On the pushing thread, when a snapshot arrives and the consumer has
    // not taken anything since the last time this was emitted: once per
    // batch however fast snapshots come. Connect with a queued connection.
    void snapshotsAvailable();

private:
    void makeRoom();

    mutable QMutex m_mutex;
    QList<ClipboardSnapshot> m_snapshots;
    bool m_announced = false;
};
