#pragma once

#include "KeyboardShortcuts/SystemShortcutSource.h"

#include <QByteArray>

#include <memory>

class XcbConnection;

namespace KeyboardShortcuts {

// "Taken by the system" on X11. There is no list of system hotkeys, but a
// passive grab of a combination another client already holds on the root
// window fails with BadAccess. So each check makes a checked trial grab over
// a private connection and lets go of it at once when it succeeds.
// Combinations the hotkey layer reports as its own are never tried (see
// SystemShortcutSource::setOwnShortcutQuery), since our own grab would make
// the trial fail.
class X11SystemShortcutSource final : public SystemShortcutSource
{
public:
    // Connects to the display named in DISPLAY when displayName is empty.
    explicit X11SystemShortcutSource(const QByteArray &displayName = {});
    ~X11SystemShortcutSource() override;

    // X11 keeps no list: always empty.
    QList<Shortcut> reservedShortcuts() const override;

protected:
    bool isHeldElsewhere(const Shortcut &shortcut) const override;

private:
    std::unique_ptr<XcbConnection> m_connection;
};

} // namespace KeyboardShortcuts
