// One capture into a full history (100 entries): the poll reads a new
// clipboard content, compares it with the head and then with every entry
// (none is equal), inserts it and trims the oldest. The content cycles through
// 101 distinct values, so every capture is new and the history stays full.

#include "clipboard/ClipboardManager.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

class BenchPasteboard final : public PasteboardProvider
{
public:
    void copy(const QString &text)
    {
        ++m_count;
        m_text = text;
        m_images.reset();
    }
    void copy(const QImage &image)
    {
        ++m_count;
        m_text.reset();
        m_images = QList<QImage> {image};
    }
    qint64 changeCount() const override { return m_count; }
    std::optional<QList<QImage>> readImages() const override { return m_images; }
    std::optional<QString> string(const QString &) const override { return m_text; }
    void clearContents() override { ++m_count; }
    bool setString(const QString &, const QString &) override { return true; }
    bool writeImages(const QList<QImage> &) override { return true; }

private:
    qint64 m_count = 0;
    std::optional<QString> m_text;
    std::optional<QList<QImage>> m_images;
};

class NoPaste final : public PasteSimulator
{
public:
    void simulatePaste() override { }
};

constexpr int distinctValues = ClipboardManager::maxHistoryCount + 1;

// Texts of equal length that differ only in their last characters: every
// comparison reads both texts to the end.
QList<QString> texts(qsizetype length)
{
    QList<QString> result;
    for (int i = 0; i < distinctValues; ++i) {
        QString text(length, u'x');
        const QString tag = QString::number(i);
        text.replace(length - tag.size(), tag.size(), tag);
        result.append(text);
    }
    return result;
}

// 1920x1080 screenshots; differing in the first row (any two real
// screenshots) or only in the last pixel (every comparison reads every byte).
QList<QImage> images(bool differOnlyAtTheEnd)
{
    QList<QImage> result;
    for (int i = 0; i < distinctValues; ++i) {
        QImage image(1920, 1080, QImage::Format_ARGB32);
        image.fill(0xff336699);
        const QPoint where = differOnlyAtTheEnd ? QPoint(1919, 1079) : QPoint(0, 0);
        image.setPixel(where, qRgb(i, 255 - i, 7));
        result.append(image);
    }
    return result;
}

template<typename T> void runCaptures(benchmark::State &state, const QList<T> &values)
{
    auto provider = std::make_unique<BenchPasteboard>();
    BenchPasteboard *pasteboard = provider.get();
    ClipboardManager manager(std::move(provider), std::make_unique<NoPaste>(), nullptr);
    manager.stopMonitoring(); // captures are driven by the loop below
    int next = 0;
    for (int i = 0; i < ClipboardManager::maxHistoryCount; ++i) {
        pasteboard->copy(values.at(next++));
        manager.checkForChanges();
    }
    for (auto _ : state) {
        pasteboard->copy(values.at(next));
        next = (next + 1) % distinctValues;
        manager.checkForChanges();
    }
    if (manager.copiedItems().size() != ClipboardManager::maxHistoryCount)
        state.SkipWithError("the history is not full");
}

void captureText1KiB(benchmark::State &state)
{
    runCaptures(state, texts(1024));
}
void captureText1MiB(benchmark::State &state)
{
    runCaptures(state, texts(1024 * 1024));
}
void captureImage1080p(benchmark::State &state)
{
    runCaptures(state, images(false));
}
void captureImage1080pDifferingInLastPixel(benchmark::State &state)
{
    runCaptures(state, images(true));
}

} // namespace

BENCHMARK(captureText1KiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(captureText1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(captureImage1080p)->Unit(benchmark::kMicrosecond);
BENCHMARK(captureImage1080pDifferingInLastPixel)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
