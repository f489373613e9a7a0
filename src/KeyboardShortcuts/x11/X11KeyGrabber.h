#pragma once

#include "KeyboardShortcuts/x11/X11ModifierMasks.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <xcb/xcb.h>

#include <map>
#include <optional>

namespace KeyboardShortcuts {

// Passive key grabs on the root window, the X side of global hotkeys. Each grab
// is one X keycode with a set of Shift, Control, Alt and Meta (Super), taken
// once for every combination of the lock modifiers (CapsLock, NumLock,
// ScrollLock) so that it fires whatever lock is on. Key presses and releases of
// grabbed keys arrive through a native event filter on the connection Qt reads;
// holding a key down reports one press and one release, not the auto-repeats.
// The filter consumes the presses it reports, so that filters installed
// before it never see them.
class X11KeyGrabber : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    // A grab the X server will not take: keycode 0 ("any key"), or a modifier
    // the keymap does not bind (no key assigned to Super, say).
    static constexpr int NotGrabbable = -50;

    // connection must be the one QCoreApplication's event loop reads (Qt's own
    // xcb connection), so that the grab events pass the native event filter.
    X11KeyGrabber(xcb_connection_t *connection, xcb_window_t root, QObject *parent = nullptr);
    ~X11KeyGrabber() override;

    // Grabs keycode with modifiers under id. Returns 0 on success, otherwise the
    // X error code of the first failed grab (BadAccess, 10, when another client
    // holds the combination) or NotGrabbable; a failed grab keeps nothing.
    int grab(quint32 id, xcb_keycode_t keycode, Qt::KeyboardModifiers modifiers);
    // Releases the grab of id; unknown ids are ignored.
    void ungrab(quint32 id);
    bool isGrabbed(quint32 id) const { return m_grabs.count(id) != 0; }

    // Reads the modifier map again. Existing grabs keep the bits they were
    // taken with until they are grabbed again.
    void refreshModifierMasks();
    const X11ModifierMasks &masks() const { return m_masks; }
    // The server time of the key event behind the pressed or released signal
    // being emitted (or emitted last).
    xcb_timestamp_t eventTime() const { return m_eventTime; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void pressed(quint32 id);
    void released(quint32 id);
    // The keyboard mapping or the modifier map changed; emitted once per burst
    // of notifications, after they have been delivered.
    void keyboardMappingChanged();

private:
    struct Grab
    {
        xcb_keycode_t keycode = 0;
        quint16 modifiers = 0; // X modifier bits without the locks
        QVector<quint16> variants; // every lock combination that was grabbed
    };

    quint16 xModifiers(Qt::KeyboardModifiers modifiers, bool *ok) const;
    QVector<quint16> lockVariants(quint16 modifiers) const;
    bool sharedWithAnotherGrab(quint32 id, const Grab &grab) const;
    // True when the press was reported as a hotkey.
    bool handleKeyPress(xcb_keycode_t keycode, quint16 state, xcb_timestamp_t time);
    void handleKeyRelease(xcb_keycode_t keycode, xcb_timestamp_t time);
    void checkRelease();
    bool isKeyDown(xcb_keycode_t keycode) const;
    void scheduleMappingChanged();

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    X11ModifierMasks m_masks;
    std::map<quint32, Grab> m_grabs;
    quint8 m_xkbFirstEvent = 0;

    // The grab whose key is down. Presses of that key are auto-repeats until
    // a release is confirmed: no press with the release's time stamp follows
    // within ReleaseCheckDelayMs and the server's key map shows the key up.
    // A press with the time stamp of the last release of its key is a repeat
    // too, even after the release was reported.
    static constexpr int ReleaseCheckDelayMs = 30;
    struct Latch
    {
        quint32 id = 0;
        xcb_keycode_t keycode = 0;
    };
    struct Release
    {
        xcb_keycode_t keycode = 0;
        xcb_timestamp_t time = 0;
    };
    std::optional<Latch> m_latch;
    std::optional<Release> m_lastRelease;
    // When the latched key was last released, while latched.
    std::optional<xcb_timestamp_t> m_latchReleasedAt;
    xcb_timestamp_t m_eventTime = XCB_CURRENT_TIME;
    QTimer m_releaseCheck;
    bool m_mappingChangeScheduled = false;
};

} // namespace KeyboardShortcuts
