#include "fakes/FakeTextRecognizer.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

void FakeTextRecognizer::setResult(QRgb topLeftPixel, const std::optional<QString> &text)
{
    QMutexLocker lock(&m_mutex);
    m_results.insert(topLeftPixel, text);
}

void FakeTextRecognizer::hold()
{
    QMutexLocker lock(&m_mutex);
    m_held = true;
}

void FakeTextRecognizer::release()
{
    QMutexLocker lock(&m_mutex);
    m_held = false;
    m_changed.wakeAll();
}

bool FakeTextRecognizer::waitForCalls(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (m_calls < count) {
        if (!m_changed.wait(&m_mutex, deadline))
            return m_calls >= count;
    }
    return true;
}

int FakeTextRecognizer::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

std::optional<QString> FakeTextRecognizer::recognize(const QImage &image)
{
    QMutexLocker lock(&m_mutex);
    ++m_calls;
    m_changed.wakeAll();
    while (m_held)
        m_changed.wait(&m_mutex);
    if (image.isNull())
        return std::nullopt;
    return m_results.value(image.pixel(0, 0), std::nullopt);
}
