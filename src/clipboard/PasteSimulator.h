#pragma once

// Makes the application that has the keyboard focus paste the clipboard, as if
// the user had typed the platform's paste chord. Called on the GUI thread.
class PasteSimulator
{
public:
    virtual ~PasteSimulator() = default;
    virtual void simulatePaste() = 0;
};
