#pragma once

#include <chrono>

// Makes the application that has the keyboard focus paste the clipboard, as if
// the user had typed the platform's paste chord. Called on the GUI thread.
class PasteSimulator
{
public:
    virtual ~PasteSimulator() = default;
    virtual void simulatePaste() = 0;

    // A paste waits, polling, until the user's keys are released and the focus
    // is in another application; after releaseWait the chord goes out anyway.
    static constexpr std::chrono::milliseconds releaseWait {500};
    static constexpr std::chrono::milliseconds pollInterval {10};
};
