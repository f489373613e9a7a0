#pragma once

#include "KeyboardShortcuts/Shortcut.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace KeyboardShortcuts {

// A warning the recorder shows before it accepts a shortcut. Every text is a
// key of the subsystem's translation catalogue; messageArgument (when not
// empty) fills the message's one placeholder.
struct RecorderAlert
{
    QString messageKey;
    QString messageArgument;
    QString informativeKey;
    // Button keys in the order they are added; empty means the platform's
    // single default button.
    QStringList buttonKeys;
};

// What the recorder's logic needs from the control that shows it: focus, the
// beep, the alerts, and the checks that depend on the application and the
// platform.
class RecorderHost
{
public:
    virtual ~RecorderHost() = default;

    // Whether the control sits in a window; without one it cannot record.
    virtual bool hasWindow() const = 0;
    // Takes the focus from the control. Losing it ends the recording
    // (RecorderController::endRecording()).
    virtual void blur() = 0;
    // Gives the control the focus, which starts recording again
    // (RecorderController::beginRecording()).
    virtual void focus() = 0;
    virtual void beep() = 0;
    // Shows the alert modally over the control's window and returns once it
    // is closed: the index of the button chosen, or -1 when it was dismissed.
    virtual int runAlert(const RecorderAlert &alert) = 0;

    // The text the control shows for a shortcut.
    virtual QString displayText(const Shortcut &shortcut) const = 0;
    // The title of one of the application's menu items that already uses the
    // shortcut, if any.
    virtual std::optional<QString> menuItemTitle(const Shortcut &shortcut) const = 0;
    virtual bool isDisallowed(const Shortcut &shortcut) const = 0;
    virtual bool isTakenBySystem(const Shortcut &shortcut) const = 0;
};

} // namespace KeyboardShortcuts
