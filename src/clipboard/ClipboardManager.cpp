#include "clipboard/ClipboardManager.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"

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
    , m_history(new ClipboardHistoryModel(this))
{
    Q_ASSERT(m_provider && m_simulator);
    // Recognition is heavy; keep one core free for everything else.
    m_recognitionPool->setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));

    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &ClipboardManager::poll);

    m_lastChangeCount = m_provider->changeCount();
    startMonitoring();
}

ClipboardManager::~ClipboardManager()
{
    // Tasks still running hold no pointer to this object's state beyond the
    // queued write-back, which dies with the object; wait so that no
    // recognition outlives the recogniser's users.
    m_recognitionPool->waitForDone();
}

void ClipboardManager::startMonitoring()
{
    if (m_monitoring)
        return;
    setMonitoring(true);
    m_pollTimer.start();
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

std::optional<ClipboardItem> ClipboardManager::readCandidate() const
{
    if (const std::optional<QList<QImage>> images = m_provider->readImages(); images && !images->isEmpty())
        return ClipboardItem::fromImage(images->constFirst());
    if (const std::optional<QString> text = m_provider->string(PasteboardProvider::plainTextType);
        text && !text->trimmed().isEmpty())
        return ClipboardItem::fromText(*text); // kept exactly as read, blanks included
    return std::nullopt;
}

void ClipboardManager::checkForChanges()
{
    const qint64 count = m_provider->changeCount();
    if (count == m_lastChangeCount)
        return;
    // Consumed, whatever follows finds: the same content is not looked at again.
    setLastChangeCount(count);

    const std::optional<ClipboardItem> candidate = readCandidate();
    if (!candidate) {
        qCDebug(lcClipboard) << "change" << count << "holds nothing to record";
        return;
    }
    if (m_history->count() > 0 && m_history->items().constFirst() == *candidate) {
        qCDebug(lcClipboard) << "change" << count << "repeats the newest entry";
        return;
    }
    if (const int older = m_history->indexOf(*candidate, 1); older >= 0)
        m_history->removeAt(older);
    m_history->prepend(*candidate);
    m_history->truncate(maxHistoryCount);

    if (candidate->image()) {
        qCDebug(lcClipboard) << "captured image" << candidate->image()->size() << "as" << candidate->id();
        recognize(*candidate);
    } else {
        qCDebug(lcClipboard) << "captured text of" << candidate->text()->size() << "characters as"
                             << candidate->id();
    }
}

void ClipboardManager::recognize(const ClipboardItem &item)
{
    const QUuid id = item.id();
    extractText(*item.image(), [this, id](std::optional<QString> text) {
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

void ClipboardManager::extractText(const QImage &image, std::function<void(std::optional<QString>)> done)
{
    if (!m_recognizer) {
        done(std::nullopt);
        return;
    }
    QPointer<ClipboardManager> guard(this);
    m_recognitionPool->start([recognizer = m_recognizer, image, guard, done = std::move(done)]() mutable {
        std::optional<QString> text = recognizer->recognize(image);
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
    if (item.text())
        m_provider->setString(*item.text(), PasteboardProvider::plainTextType);
    else if (item.image())
        m_provider->writeImages({*item.image()});
    // Our own write is consumed here, so the watcher never captures it.
    setLastChangeCount(m_provider->changeCount());

    if (simulateKeystroke) {
        QTimer::singleShot(pasteDelay, this, [this] { m_simulator->simulatePaste(); });
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
