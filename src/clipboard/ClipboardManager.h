#pragma once

#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardItem.h"
#include "clipboard/ClipboardSnapshot.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class PasteboardProvider;
class PasteSimulator;
class QThreadPool;
class TextRecognizer;

// The single store of the clipboard history and the watcher that feeds it.
//
// Every change the provider reports is recorded in order: an image first,
// else a text that is not blank, put at the head of the history while an
// equal older entry is removed instead of keeping two (the re-copy gets a new
// id). At most 100 entries. How changes arrive depends on the provider (see
// PasteboardProvider): a polled provider's change counter is read by a
// single-shot timer restarted 0.5 s after each poll has finished; a provider
// that queues snapshots is checked when it says snapshots are waiting, and
// every queued snapshot is recorded.
//
// Equality is decided from the prepared hashes and bytes. When those cannot
// tell (equal hashes, different encodings), the decoded contents are
// compared: for a queued provider on a worker thread, recording waiting for
// the answer so that the order of changes holds; for a polled provider, which
// is read on this thread anyway, at once. Captured images are handed to the text recogniser on a
// thread pool; the result is written into the entry with the same id, on the
// GUI thread, and dropped when that entry is gone.
//
// Lives on the GUI thread; every public function must be called there.
class ClipboardManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 lastChangeCount READ lastChangeCount NOTIFY lastChangeCountChanged)
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY isMonitoringChanged)
    Q_PROPERTY(ClipboardHistoryModel *history READ history CONSTANT)

public:
    static constexpr int maxHistoryCount = 100;
    static constexpr std::chrono::milliseconds pollInterval {500};
    static constexpr std::chrono::milliseconds pasteDelay {100};
    // How long the paste chord waits, beyond pasteDelay, for a write still on
    // its way to the system clipboard.
    static constexpr std::chrono::milliseconds writeTimeout {1000};

    // Remembers the provider's current change counter (what is on the
    // clipboard now is never captured) and starts monitoring. recognizer may
    // be null: images are then kept without recognised text.
    ClipboardManager(std::unique_ptr<PasteboardProvider> provider, std::unique_ptr<PasteSimulator> simulator,
                     std::shared_ptr<TextRecognizer> recognizer, QObject *parent = nullptr);
    // Waits for recognitions still running.
    ~ClipboardManager() override;

    ClipboardHistoryModel *history() const { return m_history; }
    const QList<ClipboardItem> &copiedItems() const { return m_history->items(); }
    qint64 lastChangeCount() const { return m_lastChangeCount; }
    bool isMonitoring() const { return m_monitoring; }

    // Starts the polling loop unless it runs; the first poll is 0.5 s later.
    void startMonitoring();
    // Ends the polling loop; isMonitoring is false afterwards.
    void stopMonitoring();

    // One step: records the snapshots the provider queued, or, for a polled
    // provider, captures the clipboard when its change counter moved.
    void checkForChanges();

    // Writes item to the clipboard (its text, else its image's PNG bytes;
    // never the recognised text) and takes the resulting change counter as consumed, so
    // that the write is not captured. With simulateKeystroke, the paste
    // keystroke follows 100 ms later, unless the write failed. Returns at once.
    void paste(const ClipboardItem &item, bool simulateKeystroke);

    // Empties the history. The clipboard is left alone, so its content is not
    // captured again until it changes.
    void clearAll();

    // Decodes image and recognises text in it off the GUI thread; calls done
    // on this object's thread with the text, or with nothing when none was
    // found or there is no recogniser. done is dropped if this object is
    // destroyed first.
    void extractText(const ClipboardImage &image, std::function<void(std::optional<QString>)> done);

Q_SIGNALS:
    void lastChangeCountChanged(qint64 lastChangeCount);
    void isMonitoringChanged(bool isMonitoring);

private:
    void setLastChangeCount(qint64 count);
    void setMonitoring(bool monitoring);
    void poll();
    std::optional<ClipboardSnapshot> readChange();
    void record(const ClipboardSnapshot &snapshot);
    // Puts candidate in the history: looks for an equal entry from row on.
    void place(const ClipboardItem &candidate, int fromRow);
    void compareInBackground(const ClipboardItem &candidate, int row);
    void finishComparison(const ClipboardItem &candidate, const QUuid &entryId, bool same);
    void moveToHead(const ClipboardItem &candidate, int equalRow);
    void insert(const ClipboardItem &candidate);
    void recognize(const ClipboardItem &item);

    std::unique_ptr<PasteboardProvider> m_provider;
    std::unique_ptr<PasteSimulator> m_simulator;
    std::shared_ptr<TextRecognizer> m_recognizer;
    std::unique_ptr<QThreadPool> m_recognitionPool;
    std::unique_ptr<QThreadPool> m_comparisonPool;
    ClipboardHistoryModel *m_history; // child
    QTimer m_pollTimer;
    qint64 m_lastChangeCount = 0;
    bool m_monitoring = false;
    // Taken from the provider, not recorded yet (recording waits while a
    // comparison runs).
    QList<ClipboardSnapshot> m_backlog;
    bool m_comparing = false;
};
