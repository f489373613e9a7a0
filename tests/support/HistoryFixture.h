#pragma once

#include "clipboard/ClipboardManager.h"
#include "clipboard/TextRecognizer.h"
#include "fakes/FakePasteSimulator.h"
#include "fakes/FakePasteboardProvider.h"

#include <QStringList>

#include <memory>

// A clipboard history over an in-memory clipboard that the test polls by
// hand: copies reach it the way another application's would. A queuing
// clipboard is only read once monitoring starts.
class HistoryFixture
{
public:
    explicit HistoryFixture(std::shared_ptr<TextRecognizer> recognizer = nullptr, bool queuing = false)
    {
        auto provider = std::make_unique<FakePasteboardProvider>();
        auto simulator = std::make_unique<FakePasteSimulator>();
        provider->setQueuing(queuing);
        pasteboard = provider.get();
        keystrokes = simulator.get();
        manager = std::make_unique<ClipboardManager>(std::move(provider), std::move(simulator),
                                                     std::move(recognizer));
        manager->stopMonitoring();
    }

    // Copies each text in turn, oldest first, polling after each.
    void copyTexts(const QStringList &texts)
    {
        for (const QString &text : texts) {
            pasteboard->copyText(text);
            manager->checkForChanges();
        }
    }

    FakePasteboardProvider *pasteboard = nullptr;
    FakePasteSimulator *keystrokes = nullptr;
    std::unique_ptr<ClipboardManager> manager;
};
