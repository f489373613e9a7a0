#pragma once

#include "clipboard/TextRecognizer.h"

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <optional>

// Recognises text by looking the image's top-left pixel up in a table the test
// fills, so that each test image can carry its own "text". While held, calls
// block until release(), so that a test can change the history while a
// recognition is in flight.
class FakeTextRecognizer final : public TextRecognizer
{
public:
    void setResult(QRgb topLeftPixel, const std::optional<QString> &text);
    void hold();
    void release();
    // Blocks until count calls have started (or the deadline passed).
    bool waitForCalls(int count, int timeoutMs = 5000);
    int calls() const;

    std::optional<QString> recognize(const QImage &image) override;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_changed;
    QHash<QRgb, std::optional<QString>> m_results;
    bool m_held = false;
    int m_calls = 0;
};
