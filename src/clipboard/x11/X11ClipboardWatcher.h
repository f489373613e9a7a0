#pragma once

#include "clipboard/ClipboardReadRules.h"
#include "clipboard/ClipboardSnapshot.h"
#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QThread>

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <optional>

// Watches the CLIPBOARD selection on a thread of its own, with a private xcb
// connection, so that no clipboard owner can ever stall the GUI thread.
//
// On every owner change (XFixes) it asks the new owner for TARGETS, then for
// an image (image/png first), else for text, waiting at most about a second
// for each answer, and publishes what it found as one ClipboardSnapshot,
// prepared on this thread (hashes, thumbnail, display and search forms),
// through snapshotFetched(), emitted on this thread:
//   - content larger than the caps is not transferred (an INCR transfer
//     announces its size first; a plain property is sized before reading),
//     and an image whose pixels would exceed the cap is not decoded; an INCR
//     transfer that announced less than it sends is read on to its end and
//     discarded past the cap, so that its owner is not left hanging;
//   - content offered with the password-manager hint is not fetched;
//   - an owner that does not answer, or that went away, yields an empty
//     snapshot; so do the cases above: the change is seen, nothing is kept.
// Owner changes to a window of our own process (our own writes, served by
// QClipboard) are not published. A change superseded by a newer one while it
// is being fetched is dropped in favour of the newer one; a fetch that
// completed is published even when a newer change is already waiting.
class X11ClipboardWatcher : public QThread
{
    Q_OBJECT

public:
    static constexpr qsizetype maxTextBytes = 16 * 1024 * 1024; // UTF-8 on the wire
    static constexpr qsizetype maxImageBytes = 64 * 1024 * 1024; // encoded, and decoded at 32 bpp
    static constexpr std::chrono::milliseconds responseTimeout {1000};
    static constexpr std::chrono::milliseconds fetchTimeout {10000};
    // How long an oversized transfer is read on (and discarded) to let its
    // owner finish cleanly.
    static constexpr std::chrono::milliseconds drainTimeout {30000};

    // Windows whose id lies in [ownBase, ownBase | ownMask] belong to our own
    // Qt connection; ownMask 0 means there is no such range. Connects and
    // subscribes to owner changes before returning, so that every change
    // after construction is seen; start() begins delivering them.
    X11ClipboardWatcher(xcb_window_t ownBase, uint32_t ownMask, const QByteArray &displayName = {},
                        QObject *parent = nullptr);
    // Stops the thread and waits for it.
    ~X11ClipboardWatcher() override;

    // False when the display or the XFixes extension is not available.
    bool isValid() const { return m_valid; }
    // Asks the thread to finish; returns at once.
    void requestStop();

Q_SIGNALS:
    void snapshotFetched(const ClipboardSnapshot &snapshot);

protected:
    void run() override;

private:
    struct OwnerChange
    {
        xcb_window_t owner = XCB_WINDOW_NONE;
        xcb_timestamp_t time = XCB_CURRENT_TIME;
    };
    enum class Outcome { Ok, Refused, TooLarge, TimedOut, Superseded, Stopped, Failed };
    struct Transfer
    {
        Outcome outcome = Outcome::Failed;
        xcb_atom_t type = XCB_ATOM_NONE;
        QByteArray data;
    };

    xcb_atom_t atom(const char *name) const;
    bool isOwnWindow(xcb_window_t window) const;
    void handleEvent(const xcb_generic_event_t *event);
    void drainEvents();
    XcbReply<xcb_generic_event_t> nextEvent(const QDeadlineTimer &deadline);

    // Fetches what the owner offers; nullopt when the fetch was superseded
    // or the thread is stopping.
    std::optional<ClipboardSnapshot> fetch(const OwnerChange &change);
    std::optional<ClipboardSnapshot> fetchFrom(xcb_window_t requestor, const OwnerChange &change);
    Transfer convert(xcb_window_t requestor, xcb_atom_t target, xcb_timestamp_t time, qsizetype cap);
    Transfer receiveIncrementally(xcb_window_t requestor, qsizetype announced, qsizetype cap);
    QList<QByteArray> atomNames(const QList<xcb_atom_t> &atoms);
    ClipboardReadRules::TargetAtoms targetAtoms() const;
    QDeadlineTimer responseDeadline() const;

    XcbConnection m_connection;
    bool m_valid = false;
    uint8_t m_xfixesEventBase = 0;
    xcb_window_t m_eventWindow = XCB_WINDOW_NONE;
    xcb_window_t m_ownBase;
    uint32_t m_ownMask;
    int m_wakeFd = -1;
    std::atomic_bool m_stopping = false;
    std::optional<OwnerChange> m_pending;
    QDeadlineTimer m_fetchDeadline;

    struct Atoms
    {
        xcb_atom_t clipboard = XCB_ATOM_NONE;
        xcb_atom_t targets = XCB_ATOM_NONE;
        xcb_atom_t incr = XCB_ATOM_NONE;
        xcb_atom_t utf8String = XCB_ATOM_NONE;
        xcb_atom_t textPlainUtf8 = XCB_ATOM_NONE;
        xcb_atom_t passwordHint = XCB_ATOM_NONE;
        xcb_atom_t imagePng = XCB_ATOM_NONE;
        xcb_atom_t property = XCB_ATOM_NONE;
    } m_atoms;
};
