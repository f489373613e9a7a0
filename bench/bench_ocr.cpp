// Tesseract recognition: time for a screenshot-sized image and character
// accuracy over a set of rendered texts. Run through scripts/bench; the
// program runs every benchmark twice, in child processes, with the OpenMP
// thread limit unset and with OMP_THREAD_LIMIT=1 (the runtime reads it only
// when the program starts).

#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "support/EditDistance.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

const QStringList corpus = {
    QStringLiteral("Invoice 2041 was paid on 12 March"),
    QStringLiteral("The build finished in 14 minutes"),
    QStringLiteral("Please review the pull request today"),
    QStringLiteral("Meeting moved to Thursday at 3 pm"),
    QStringLiteral("Download the report from the shared drive"),
    QStringLiteral("Error: connection refused on port 8080"),
    QStringLiteral("Total amount due is 1,250.00 EUR"),
    QStringLiteral("Remember to water the plants"),
    QStringLiteral("Version 5.3 adds a faster parser"),
    QStringLiteral("Call Alice about the quarterly numbers"),
    QStringLiteral("The train leaves platform 7 at 18:42"),
    QStringLiteral("Backup completed without warnings"),
    QStringLiteral("Lunch order: two salads and soup"),
    QStringLiteral("Server load peaked at 87 percent"),
    QStringLiteral("Send the signed contract by Friday"),
    QStringLiteral("Password must have twelve characters"),
    QStringLiteral("The keyboard shortcut opens the panel"),
    QStringLiteral("Flight LH 402 is delayed by an hour"),
    QStringLiteral("Update the documentation before release"),
    QStringLiteral("Weekly sync notes are in the wiki"),
};

// A desktop-like 1920x1080 image: a dark background, two light "windows"
// with title bars, and 20 lines of 15 px text split between them.
QImage screenshot()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor(38, 50, 72));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    painter.setFont(font);
    const QRect windows[] = {QRect(80, 90, 820, 700), QRect(980, 200, 860, 640)};
    for (int w = 0; w < 2; ++w) {
        painter.fillRect(windows[w], QColor(246, 246, 244));
        painter.fillRect(QRect(windows[w].topLeft(), QSize(windows[w].width(), 30)), QColor(200, 204, 210));
        for (int i = 0; i < 10; ++i) {
            painter.setPen(QColor(30, 30, 30));
            painter.drawText(windows[w].left() + 24, windows[w].top() + 80 + i * 34, corpus.at(w * 10 + i));
        }
    }
    // A task bar with an icon row.
    painter.fillRect(QRect(0, 1040, 1920, 40), QColor(20, 22, 28));
    for (int i = 0; i < 8; ++i)
        painter.fillRect(QRect(12 + i * 44, 1046, 28, 28), QColor(90 + i * 15, 140, 200 - i * 10));
    return image;
}

struct Sample
{
    QImage image;
    QString text;
};

// Four lines each, in several fonts and sizes, dark on light and light on dark.
QList<Sample> renderedSet()
{
    const QStringList families
        = {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Sans Mono"),
           QStringLiteral("Nimbus Sans"), QStringLiteral("Nimbus Roman"), QStringLiteral("Nimbus Mono PS")};
    const int sizes[] = {13, 18, 26};
    QList<Sample> set;
    int offset = 0;
    for (const QString &family : families) {
        for (const int size : sizes) {
            for (const bool dark : {false, true}) {
                QStringList lines;
                for (int i = 0; i < 4; ++i)
                    lines << corpus.at((offset + i) % corpus.size());
                offset += 3;
                QFont font(family);
                font.setPixelSize(size);
                const int lineHeight = size * 2;
                QImage image(size * 32, lineHeight * 5, QImage::Format_RGB32);
                image.fill(dark ? QColor(32, 33, 38) : QColor(252, 252, 250));
                QPainter painter(&image);
                painter.setFont(font);
                painter.setPen(dark ? QColor(225, 225, 220) : QColor(20, 20, 20));
                for (int i = 0; i < lines.size(); ++i)
                    painter.drawText(size, lineHeight * (i + 1), lines.at(i));
                set.append({image, lines.join(QLatin1Char(' '))});
            }
        }
    }
    return set;
}

void warmUp(TesseractTextRecognizer &recognizer)
{
    QImage image(200, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    recognizer.recognize(image); // engine start-up is not what is measured
}

void BM_Screenshot1920x1080With20Lines(benchmark::State &state)
{
    TesseractTextRecognizer recognizer;
    warmUp(recognizer);
    const QImage image = screenshot();
    const QString expected = corpus.join(QLatin1Char(' '));
    int distance = 0;
    for (auto _ : state) {
        const std::optional<QString> text = recognizer.recognize(image);
        distance = editDistance(text.value_or(QString()), expected);
    }
    state.counters["char_accuracy_pct"] = 100.0 * (1.0 - double(distance) / expected.size());
}
BENCHMARK(BM_Screenshot1920x1080With20Lines)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_RenderedSetAccuracy(benchmark::State &state)
{
    TesseractTextRecognizer recognizer;
    warmUp(recognizer);
    const QList<Sample> set = renderedSet();
    qint64 errors = 0;
    qint64 characters = 0;
    for (auto _ : state) {
        errors = 0;
        characters = 0;
        for (const Sample &sample : set) {
            errors += editDistance(recognizer.recognize(sample.image).value_or(QString()), sample.text);
            characters += sample.text.size();
        }
    }
    state.counters["images"] = double(set.size());
    state.counters["char_accuracy_pct"] = 100.0 * (1.0 - double(errors) / double(characters));
}
BENCHMARK(BM_RenderedSetAccuracy)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("HALVEX_BENCH_CHILD")) {
        // Parent: run this program once per OpenMP setting.
        QCoreApplication app(argc, argv);
        QStringList args = QCoreApplication::arguments();
        const QString program = args.takeFirst();
        int status = 0;
        for (const bool limited : {false, true}) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HALVEX_BENCH_CHILD"), QStringLiteral("1"));
            if (limited)
                env.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
            else
                env.remove(QStringLiteral("OMP_THREAD_LIMIT"));
            std::printf("--- OMP_THREAD_LIMIT %s\n", limited ? "=1" : "unset (OpenMP default)");
            std::fflush(stdout);
            QProcess child;
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(program, args);
            child.waitForFinished(-1);
            status |= child.exitCode();
        }
        return status;
    }

    QGuiApplication app(argc, argv);
    const char *limit = std::getenv("OMP_THREAD_LIMIT");
    benchmark::AddCustomContext("OMP_THREAD_LIMIT", limit ? limit : "unset");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
