#include "clipboard/ClipboardManager.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

ClipboardManager::ClipboardManager(std::unique_ptr<PasteboardProvider> provider,
                                   std::unique_ptr<PasteSimulator> simulator,
                                   std::shared_ptr<TextRecognizer> recognizer, QObject *parent)
    : QObject(parent)
    , m_provider(std::move(provider))
    , m_simulator(std::move(simulator))
    , m_recognizer(std::move(recognizer))
    , m_recognitionPool(std::make_unique<QThreadPool>())
    , m_comparisonPool(std::make_unique<QThreadPool>())
    , m_history(new ClipboardHistoryModel(this))
{
    Q_ASSERT(m_provider && m_simulator);
    // Recognition is heavy; keep one core free for everything else.
    m_recognitionPool->setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));
    m_comparisonPool->setMaxThreadCount(1);

    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &ClipboardManager::poll);
    // The provider is ours and dies with us: the handler never outlives this.
    m_provider->setSnapshotHandler([this] {
        if (m_monitoring)
            checkForChanges();
    });

    m_lastChangeCount = m_provider->changeCount();
    startMonitoring();
}

ClipboardManager::~ClipboardManager()
{
    // Tasks still running hold no pointer to this object's state beyond the
    // queued write-back, which dies with the object; wait so that no
    // recognition outlives the recogniser's users.
    m_recognitionPool->waitForDone();
    m_comparisonPool->waitForDone();
}

void ClipboardManager::startMonitoring()
{
    if (m_monitoring)
        return;
    setMonitoring(true);
    if (m_provider->queuesSnapshots()) {
        // Snapshots may have queued while nobody listened.
        QTimer::singleShot(0, this, [this] {
            if (m_monitoring)
                checkForChanges();
        });
    } else {
        m_pollTimer.start();
    }
}

void ClipboardManager::stopMonitoring()
{
    m_pollTimer.stop();
    setMonitoring(false);
}

void ClipboardManager::poll()
{
    checkForChanges();
    // The next poll is scheduled after this one has finished, not at a fixed rate.
    if (m_monitoring)
        m_pollTimer.start();
}

std::optional<ClipboardSnapshot> ClipboardManager::readChange()
{
    const qint64 count = m_provider->changeCount();
    if (count == m_lastChangeCount)
        return std::nullopt;
    // Read and prepared here: a polled provider reads synchronously anyway.
    ClipboardSnapshot snapshot {count, std::nullopt, std::nullopt};
    if (const std::optional<QList<QImage>> images = m_provider->readImages(); images && !images->isEmpty())
        snapshot.image = ClipboardImage::fromImage(images->constFirst());
    else if (const std::optional<QString> text = m_provider->string(PasteboardProvider::plainTextType))
        snapshot.text = ClipboardText::fromString(*text);
    return snapshot;
}

void ClipboardManager::checkForChanges()
{
    if (m_comparing)
        return; // recording goes on when the comparison has ended
    if (!m_provider->queuesSnapshots()) {
        if (const std::optional<ClipboardSnapshot> snapshot = readChange())
            record(*snapshot);
        return;
    }
    if (m_backlog.isEmpty())
        m_backlog = m_provider->takeSnapshots();
    while (!m_backlog.isEmpty() && !m_comparing)
        record(m_backlog.takeFirst());
}

void ClipboardManager::record(const ClipboardSnapshot &snapshot)
{
    // Consumed, whatever follows finds: the same content is not looked at again.
    setLastChangeCount(snapshot.changeCount);
    // Image first, else a text with something besides white space, kept
    // exactly as read.
    if (snapshot.image) {
        place(ClipboardItem(QUuid::createUuid(), std::nullopt, *snapshot.image), 0);
    } else if (snapshot.text && !snapshot.text->isBlank()) {
        place(ClipboardItem(QUuid::createUuid(), *snapshot.text, std::nullopt), 0);
    } else {
        qCDebug(lcClipboard) << "change" << snapshot.changeCount << "holds nothing to record";
    }
}

void ClipboardManager::place(const ClipboardItem &candidate, int fromRow)
{
    for (int row = fromRow; row < m_history->count(); ++row) {
        std::optional<bool> same = ClipboardItem::quickCompare(m_history->items().at(row), candidate);
        if (!same && m_provider->queuesSnapshots()) {
            compareInBackground(candidate, row);
            return;
        }
        // A polled provider was read on this thread: compare here as well.
        if (!same)
            same = m_history->items().at(row) == candidate;
        if (*same) {
            moveToHead(candidate, row);
            return;
        }
    }
    insert(candidate);
}

void ClipboardManager::compareInBackground(const ClipboardItem &candidate, int row)
{
    m_comparing = true;
    const ClipboardItem entry = m_history->items().at(row);
    qCDebug(lcClipboard) << "comparing" << candidate.id() << "with" << entry.id() << "in full";
    QPointer<ClipboardManager> guard(this);
    m_comparisonPool->start([guard, candidate, entry] {
        const bool same = candidate == entry; // decodes both
        // The destructor waits for this task, so the manager is alive here;
        // a queued call to a destroyed object is never delivered.
        QMetaObject::invokeMethod(
            guard.data(),
            [guard, candidate, id = entry.id(), same] {
                if (guard)
                    guard->finishComparison(candidate, id, same);
            },
            Qt::QueuedConnection);
    });
}

void ClipboardManager::finishComparison(const ClipboardItem &candidate, const QUuid &entryId, bool same)
{
    m_comparing = false;
    const int row = m_history->indexOfId(entryId);
    if (row < 0)
        place(candidate, 0); // the entry left meanwhile (the history was cleared)
    else if (same)
        moveToHead(candidate, row);
    else
        place(candidate, row + 1);
    checkForChanges();
}

void ClipboardManager::moveToHead(const ClipboardItem &candidate, int equalRow)
{
    if (equalRow == 0) {
        qCDebug(lcClipboard) << "change" << m_lastChangeCount << "repeats the newest entry";
        return;
    }
    m_history->removeAt(equalRow);
    insert(candidate);
}

void ClipboardManager::insert(const ClipboardItem &candidate)
{
    m_history->prepend(candidate);
    m_history->truncate(maxHistoryCount);
    if (candidate.hasImage()) {
        qCDebug(lcClipboard) << "captured image" << candidate.imageContent()->size() << "as"
                             << candidate.id();
        recognize(candidate);
    } else {
        qCDebug(lcClipboard) << "captured text of" << candidate.textContent()->size() << "characters as"
                             << candidate.id();
    }
}

void ClipboardManager::recognize(const ClipboardItem &item)
{
    const QUuid id = item.id();
    extractText(*item.imageContent(), [this, id](std::optional<QString> text) {
        if (!text)
            return;
        const int row = m_history->indexOfId(id);
        if (row < 0) {
            qCDebug(lcClipboard) << "recognised text for" << id << "arrived after the entry left";
            return;
        }
        qCDebug(lcClipboard) << "recognised text for" << id;
        m_history->setExtractedText(row, *text);
    });
}

void ClipboardManager::extractText(const ClipboardImage &image,
                                   std::function<void(std::optional<QString>)> done)
{
    if (!m_recognizer) {
        done(std::nullopt);
        return;
    }
    QPointer<ClipboardManager> guard(this);
    m_recognitionPool->start([recognizer = m_recognizer, image, guard, done = std::move(done)]() mutable {
        // Decoded here and dropped when recognition ends: the history keeps
        // only the compact form.
        std::optional<QString> text = recognizer->recognize(image.decode());
        if (text && text->isEmpty())
            text.reset();
        // Runs on the GUI thread; the destructor waits for this task, so the
        // manager is alive while the call is queued, and a queued call to a
        // destroyed object is never delivered.
        QMetaObject::invokeMethod(
            guard.data(),
            [guard, text = std::move(text), done = std::move(done)] {
                if (guard)
                    done(text);
            },
            Qt::QueuedConnection);
    });
}

void ClipboardManager::paste(const ClipboardItem &item, bool simulateKeystroke)
{
    m_provider->clearContents();
    bool written = false;
    if (const std::optional<QString> text = item.text())
        written = m_provider->setString(*text, PasteboardProvider::plainTextType);
    else if (item.hasImage())
        written = m_provider->writeImages({*item.imageContent()});
    // Our own write is consumed here, so the watcher never captures it.
    setLastChangeCount(m_provider->changeCount());

    // The paste chord would paste whatever the clipboard held before.
    if (!written) {
        qCWarning(lcPaste) << "the clipboard could not be written; nothing is pasted";
        return;
    }
    if (simulateKeystroke) {
        QTimer::singleShot(pasteDelay, this, [this] {
            if (!m_provider->waitUntilWritten(QDeadlineTimer(writeTimeout))) {
                qCWarning(lcPaste) << "the clipboard did not take the entry in time; nothing is pasted";
                return;
            }
            m_simulator->simulatePaste();
        });
    }
}

void ClipboardManager::clearAll()
{
    m_history->clear();
}

void ClipboardManager::setLastChangeCount(qint64 count)
{
    if (m_lastChangeCount == count)
        return;
    m_lastChangeCount = count;
    Q_EMIT lastChangeCountChanged(count);
}

void ClipboardManager::setMonitoring(bool monitoring)
{
    if (m_monitoring == monitoring)
        return;
    m_monitoring = monitoring;
    Q_EMIT isMonitoringChanged(monitoring);
}
