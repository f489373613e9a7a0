#pragma once

#include <QString>

// Whether the platform lets this process synthesise the paste keystroke into
// other applications, and a way to ask for it.
class PastePermission
{
public:
    virtual ~PastePermission() = default;

    virtual bool isGranted() = 0;
    // False when the session has no way at all to send keystrokes to other
    // applications: there is nothing to grant, and a picked entry is only
    // copied for the user to paste.
    virtual bool isSupported() const { return true; }
    // Asks for the permission where the platform has a way to grant it, and
    // answers whether it is granted now.
    virtual bool request() = 0;
    // Shown to the user while the permission is missing: why pasting cannot
    // work and what would fix it. Empty when there is nothing to add.
    virtual QString missingExplanation() const = 0;
};
