#pragma once

#include "clipboard/PasteSimulator.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <bitset>
#include <memory>

class XcbConnection;

// Pastes into the focused X11 window by injecting the paste chord with XTest:
// Ctrl+V, or Ctrl+Shift+V when the focused window belongs to a terminal
// emulator (TerminalWindowClasses). V is whatever key the current keymap puts
// the v keysym on.
//
// The chord is only sent once the user has let go of every key (a Shift or
// Super still held from the hotkey would turn Ctrl+V into another chord, and
// a held key of a grabbed hotkey swallows the synthetic keys) and the focus is
// on a window of another process. Both are polled with a short timer, never by
// blocking; after releaseWait the chord goes out anyway, and keys still held
// are released through XTest first (they are not pressed again afterwards).
// Every key the simulator presses is released in the same batch of requests.
//
// Uses a private connection to the display. Without the XTEST extension it
// does nothing and logs that once.
class XTestPasteSimulator final : public QObject, public PasteSimulator
{
    Q_OBJECT
public:
    // Connects to the display named in DISPLAY when displayName is empty.
    explicit XTestPasteSimulator(const QByteArray &displayName = {}, QObject *parent = nullptr);
    ~XTestPasteSimulator() override;

    // True when the display answers and offers XTEST.
    bool isAvailable() const { return m_available; }

    // Queues one paste; several calls in a row give as many pastes, in order.
    void simulatePaste() override;

Q_SIGNALS:
    // A chord was injected; terminalChord tells whether it was Ctrl+Shift+V.
    void chordSent(bool terminalChord);

private:
    struct FocusInfo
    {
        bool foreign = false; // a real window of another process
        bool terminal = false;
    };

    void attempt();
    FocusInfo focusInfo() const;
    // False when the keymap lacks a key of the chord or the display went away.
    // Keys in heldKeys are released first.
    bool inject(bool terminalChord, const std::bitset<256> &heldKeys);
    void drainEvents() const;

    std::unique_ptr<XcbConnection> m_connection;
    bool m_available = false;
    bool m_warned = false;
    int m_pending = 0;
    QTimer m_timer;
    QElapsedTimer m_waiting;
};
