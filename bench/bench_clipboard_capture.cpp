// Capturing clipboard content into a full history (100 entries).
//
// capture*: the GUI thread's share of one capture. The provider has read and
// prepared the content on its own thread (hash, thumbnail, display and
// search forms) and queued it; the store takes it, compares it with every
// entry (none is equal), inserts it and trims the oldest. The content cycles
// through 101 distinct values, so every capture is new and the history stays
// full.
//
// prepare*: the reading thread's share: preparing one content.

#include "clipboard/ClipboardManager.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"

#include <QBuffer>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

// Hands out one prepared snapshot per change, as a provider that reads on
// its own thread does.
class BenchPasteboard final : public PasteboardProvider
{
public:
    void queue(ClipboardSnapshot snapshot)
    {
        snapshot.changeCount = ++m_count;
        m_queued.append(std::move(snapshot));
    }
    qint64 changeCount() const override { return m_count; }
    std::optional<QList<QImage>> readImages() const override { return std::nullopt; }
    std::optional<QString> string(const QString &) const override { return std::nullopt; }
    void clearContents() override { ++m_count; }
    bool setString(const QString &, const QString &) override { return true; }
    bool writeImages(const QList<ClipboardImage> &) override { return true; }
    bool queuesSnapshots() const override { return true; }
    QList<ClipboardSnapshot> takeSnapshots() override { return std::exchange(m_queued, {}); }

private:
    qint64 m_count = 0;
    QList<ClipboardSnapshot> m_queued;
};

class NoPaste final : public PasteSimulator
{
public:
    void simulatePaste() override { }
};

constexpr int distinctValues = ClipboardManager::maxHistoryCount + 1;

// A text of the given length that differs from the others of its kind only
// in its last characters: byte comparisons would read it to the end.
QString text(qsizetype length, int tag)
{
    QString text(length, u'x');
    const QString digits = QString::number(tag);
    text.replace(length - digits.size(), digits.size(), digits);
    return text;
}

// A 1920x1080 screenshot-like picture; differing from the others in the
// first row (any two real screenshots) or only in its last pixel.
QImage picture(int tag, bool differOnlyAtTheEnd)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(0xff336699);
    for (int y = 40; y < 1040; y += 24) {
        for (int x = 30; x < 1890; x += 3)
            image.setPixel(x, y + (x / 3) % 9, qRgb((x * 7) % 256, (y * 3) % 256, 200));
    }
    const QPoint where = differOnlyAtTheEnd ? QPoint(1919, 1079) : QPoint(0, 0);
    image.setPixel(where, qRgb(tag, 255 - tag, 7));
    return image;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// What the reading thread would have prepared, made once per process.
const QList<ClipboardSnapshot> &textSnapshots(qsizetype length)
{
    static QHash<qsizetype, QList<ClipboardSnapshot>> cache;
    QList<ClipboardSnapshot> &snapshots = cache[length];
    for (int i = int(snapshots.size()); i < distinctValues; ++i)
        snapshots.append({0, std::nullopt, ClipboardText::fromString(text(length, i))});
    return snapshots;
}

const QList<ClipboardSnapshot> &imageSnapshots(bool differOnlyAtTheEnd)
{
    static QHash<bool, QList<ClipboardSnapshot>> cache;
    QList<ClipboardSnapshot> &snapshots = cache[differOnlyAtTheEnd];
    for (int i = int(snapshots.size()); i < distinctValues; ++i) {
        const QImage image = picture(i, differOnlyAtTheEnd);
        snapshots.append({0, ClipboardImage::fromPng(pngOf(image), image), std::nullopt});
    }
    return snapshots;
}

void runCaptures(benchmark::State &state, const QList<ClipboardSnapshot> &values)
{
    auto provider = std::make_unique<BenchPasteboard>();
    BenchPasteboard *pasteboard = provider.get();
    ClipboardManager manager(std::move(provider), std::make_unique<NoPaste>(), nullptr);
    int next = 0;
    for (int i = 0; i < ClipboardManager::maxHistoryCount; ++i)
        pasteboard->queue(values.at(next++));
    manager.checkForChanges();
    for (auto _ : state) {
        pasteboard->queue(values.at(next));
        next = (next + 1) % distinctValues;
        manager.checkForChanges();
    }
    if (manager.copiedItems().size() != ClipboardManager::maxHistoryCount)
        state.SkipWithError("the history is not full");
}

void captureText1KiB(benchmark::State &state)
{
    runCaptures(state, textSnapshots(1024));
}
void captureText1MiB(benchmark::State &state)
{
    runCaptures(state, textSnapshots(1024 * 1024));
}
void captureImage1080p(benchmark::State &state)
{
    runCaptures(state, imageSnapshots(false));
}
void captureImage1080pDifferingInLastPixel(benchmark::State &state)
{
    runCaptures(state, imageSnapshots(true));
}

void prepareText1MiB(benchmark::State &state)
{
    const QByteArray utf8 = text(1024 * 1024, 7).toUtf8();
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardText::fromUtf8(utf8));
}
void preparePng1080p(benchmark::State &state)
{
    const QByteArray png = pngOf(picture(7, true));
    // The reading thread decodes once (after checking the size) and prepares.
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardImage::fromPng(png, QImage::fromData(png, "PNG")));
}

} // namespace

BENCHMARK(captureText1KiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(captureText1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(captureImage1080p)->Unit(benchmark::kMicrosecond);
BENCHMARK(captureImage1080pDifferingInLastPixel)->Unit(benchmark::kMillisecond);
BENCHMARK(prepareText1MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(preparePng1080p)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
