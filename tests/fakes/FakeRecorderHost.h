#pragma once

#include "KeyboardShortcuts/RecorderController.h"
#include "KeyboardShortcuts/RecorderHost.h"

#include <QStringList>

#include <functional>

// Plays the recorder's control for its logic: focus as a widget has it (one
// focus-in per gain, one focus-out per loss), the checks answering as the
// test says, and a log of what the logic asked for.
class FakeRecorderHost final : public KeyboardShortcuts::RecorderHost
{
public:
    bool hasWindow() const override { return window; }
    void blur() override;
    void focus() override;
    void beep() override { log << QStringLiteral("beep"); }
    int runAlert(const KeyboardShortcuts::RecorderAlert &alert) override;

    QString displayText(const KeyboardShortcuts::Shortcut &shortcut) const override;
    std::optional<QString> menuItemTitle(const KeyboardShortcuts::Shortcut &) const override
    {
        return menuTitle;
    }
    bool isDisallowed(const KeyboardShortcuts::Shortcut &) const override { return disallowed; }
    bool isTakenBySystem(const KeyboardShortcuts::Shortcut &) const override { return takenBySystem; }

    // Gives the focus as a click would.
    bool click();

    KeyboardShortcuts::RecorderController *controller = nullptr;
    bool window = true;
    bool focused = false;
    std::optional<QString> menuTitle;
    bool disallowed = false;
    bool takenBySystem = false;
    int alertResponse = 0;
    // Runs while an alert is open (before it returns).
    std::function<void()> duringAlert;

    // "blur", "focus", "beep", "alert:<message key>[:<argument>]".
    QStringList log;
    QList<KeyboardShortcuts::RecorderAlert> alerts;
};
