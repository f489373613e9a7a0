// The quick-paste panel over a history of 100 entries, ten of which are
// 16 MiB logs (the size cap), the rest short notes.
//
// panelOpen: presenting the panel with an empty search and hiding it again.
// typeWordPerKeystroke: with the panel open, typing a word letter by letter
// and deleting it again; each keystroke refilters and rebuilds the list. The
// words occur in a few notes and nowhere in the logs, so the logs are read
// to their end at some keystroke. The reported time is the mean per
// keystroke; "slowest_ms" is the slowest keystroke of the run.

#include "clipboard/ClipboardManager.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype logLength = 16 * 1024 * 1024;

QString logText(int seed)
{
    static const char *const words[]
        = {"connection", "error",      "timeout", "user",   "request", "GET",     "/api/v1/items",
           "status=200", "latency_ms", "INFO",    "WARN",   "debug",   "session", "token",
           "cache",      "miss",       "hit",     "worker", "thread",  "queue"};
    QRandomGenerator random {quint32(seed)};
    QByteArray text;
    text.reserve(logLength + 256);
    while (text.size() < logLength) {
        text += QByteArray::number(random.bounded(1000000)).rightJustified(7, '0')
            + " 12:" + QByteArray::number(random.bounded(60)) + ' ';
        for (int i = random.bounded(5, 12); i > 0; --i) {
            text += words[random.bounded(int(std::size(words)))];
            text += ' ';
        }
        text += '\n';
    }
    text.truncate(logLength);
    return QString::fromLatin1(text);
}

const QStringList typedWords
    = {QStringLiteral("invoice"),  QStringLiteral("meeting"),  QStringLiteral("password"),
       QStringLiteral("birthday"), QStringLiteral("tomorrow"), QStringLiteral("schedule")};

struct Panel
{
    Panel()
    {
        auto fake = std::make_unique<FakePasteboardProvider>();
        FakePasteboardProvider *provider = fake.get();
        manager = std::make_unique<ClipboardManager>(std::move(fake), std::make_unique<FakePasteSimulator>(),
                                                     nullptr);
        manager->stopMonitoring();
        for (int i = 0; i < ClipboardManager::maxHistoryCount; ++i) {
            if (i % 10 == 5)
                provider->copyText(logText(i));
            else
                provider->copyText(QStringLiteral("Note %1: %2 with Anna about the %3")
                                       .arg(i)
                                       .arg(typedWords.at(i % typedWords.size()))
                                       .arg(i % 3 ? QStringLiteral("budget") : QStringLiteral("garden")));
            manager->checkForChanges();
        }
        view = new FloatingPasteView(manager.get(), [this] { panel.hide(); });
        panel.setContent(view);
    }
    std::unique_ptr<ClipboardManager> manager;
    FloatingPanel panel;
    FloatingPasteView *view = nullptr; // owned by the panel
};

Panel &panel()
{
    static Panel instance;
    return instance;
}

const QRect screenArea(0, 0, 1280, 800);

void panelOpen(benchmark::State &state)
{
    Panel &p = panel();
    p.view->setSearchText(QString());
    p.panel.hide();
    for (auto _ : state) {
        p.panel.present(screenArea);
        p.panel.hide();
    }
    if (p.manager->copiedItems().size() != ClipboardManager::maxHistoryCount)
        state.SkipWithError("the history is not full");
}

void typeWordPerKeystroke(benchmark::State &state)
{
    Panel &p = panel();
    p.view->setSearchText(QString());
    p.panel.present(screenArea);
    int word = 0;
    qint64 slowest = 0;
    for (auto _ : state) {
        const QString typed = typedWords.at(word++ % typedWords.size());
        QStringList keystrokes;
        for (qsizetype n = 1; n <= typed.size(); ++n)
            keystrokes.append(typed.left(n));
        for (qsizetype n = typed.size() - 1; n >= 0; --n)
            keystrokes.append(typed.left(n));
        qint64 total = 0;
        for (const QString &search : std::as_const(keystrokes)) {
            QElapsedTimer timer;
            timer.start();
            p.view->setSearchText(search);
            const qint64 elapsed = timer.nsecsElapsed();
            total += elapsed;
            slowest = std::max(slowest, elapsed);
        }
        state.SetIterationTime(double(total) / 1e9 / double(keystrokes.size()));
    }
    state.counters["slowest_ms"] = double(slowest) / 1e6;
    p.panel.hide();
}

} // namespace

BENCHMARK(panelOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(typeWordPerKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
