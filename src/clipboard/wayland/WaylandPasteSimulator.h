#pragma once

#include "clipboard/PasteSimulator.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;
class WaylandConnection;
class WaylandToplevelTracker;
struct org_kde_kwin_fake_input;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// Pastes into the focused Wayland window by typing the paste chord through a
// keyboard the compositor lets Halvex drive: a virtual keyboard (wlroots),
// or KDE's fake input. Ctrl+V, or Ctrl+Shift+V when the window with the
// keyboard is a terminal (TerminalWindowClasses, by app_id, where the
// compositor tells which window that is).
//
// The virtual keyboard brings its own keymap (US layout), so the chord is
// right whatever layout the user types with. It is created once and kept for
// the whole run: a keyboard that comes and goes makes some compositors move
// the focus.
//
// The chord goes out only once the keyboard has left Halvex's own windows
// (and, where the compositor tells, another window has it), polled with a
// short timer; after releaseWait it goes out anyway.
//
// Runs on the GUI thread over a private connection, dispatched by a socket
// notifier.
class WaylandPasteSimulator final : public QObject, public PasteSimulator
{
    Q_OBJECT
public:
    enum class Method { VirtualKeyboard, FakeInput };

    // Connects to the compositor named in WAYLAND_DISPLAY.
    explicit WaylandPasteSimulator(Method method, QObject *parent = nullptr);
    ~WaylandPasteSimulator() override;

    // True when the compositor offers the method's protocol.
    bool isAvailable() const { return m_available; }

    // Queues one paste; several calls in a row give as many pastes, in order.
    void simulatePaste() override;

Q_SIGNALS:
    // A chord was typed; terminalChord tells whether it was Ctrl+Shift+V.
    void chordSent(bool terminalChord);

private:
    bool setUpVirtualKeyboard();
    bool setUpFakeInput();
    void dispatch();
    void attempt();
    bool focusHasLeftUs() const;
    void typeChord(bool withShift);
    quint32 now() const;

    Method m_method;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<WaylandToplevelTracker> m_toplevels;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_available = false;

    wl_seat *m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *m_keyboardManager = nullptr;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    quint32 m_controlMask = 0;
    quint32 m_shiftMask = 0;
    org_kde_kwin_fake_input *m_fakeInput = nullptr;

    int m_pending = 0;
    QTimer m_timer;
    QElapsedTimer m_waiting;
    QElapsedTimer m_clock;
};
