#include "clipboard/x11/XTestPasteSimulator.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/TerminalWindowClasses.h"
#include "x11/XcbConnection.h"
#include "x11/XcbHeldKeys.h"
#include "x11/XcbKeySymbols.h"
#include "x11/XcbReply.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <unistd.h>

namespace {

// Ancestors of a focus window worth looking at: the focus window itself, the
// client window a window manager frames, and the frame.
constexpr int maxWindowDepth = 16;

// The first keycode the current keymap gives any of the keysyms; 0 if none.
xcb_keycode_t keycodeFor(xcb_key_symbols_t *symbols, std::initializer_list<xcb_keysym_t> keysyms)
{
    for (const xcb_keysym_t keysym : keysyms) {
        XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
        if (codes && codes.get()[0] != XCB_NO_SYMBOL)
            return codes.get()[0];
    }
    return 0;
}

QByteArray readProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const auto cookie = xcb_get_property(c, false, window, property, type, 0, 256);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->type != type)
        return {};
    const int length = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())), length);
}

} // namespace

XTestPasteSimulator::XTestPasteSimulator(const QByteArray &displayName, QObject *parent)
    : QObject(parent)
    , m_connection(std::make_unique<XcbConnection>(displayName))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &XTestPasteSimulator::attempt);
    if (!m_connection->isValid())
        return;
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_connection->get(), &xcb_test_id);
    m_available = xtest && xtest->present;
}

XTestPasteSimulator::~XTestPasteSimulator() = default;

void XTestPasteSimulator::simulatePaste()
{
    if (!m_available || !m_connection->isValid()) {
        if (!m_warned) {
            qCInfo(lcPaste) << "the display offers no XTEST extension; entries are only written to "
                               "the clipboard, not pasted";
            m_warned = true;
        }
        return;
    }
    ++m_pending;
    if (m_pending == 1) {
        m_waiting.start();
        attempt();
    }
}

void XTestPasteSimulator::attempt()
{
    if (m_pending == 0)
        return;
    if (!m_connection->isValid()) {
        qCWarning(lcPaste) << "lost the connection to the display; dropping" << m_pending << "paste(s)";
        m_pending = 0;
        m_available = false;
        return;
    }
    drainEvents();

    const std::bitset<256> heldKeys = queryHeldKeys(m_connection->get());
    const bool held = heldKeys.any();
    const FocusInfo focus = focusInfo();
    if ((held || !focus.foreign) && m_waiting.elapsed() < releaseWait.count()) {
        m_timer.start(pollInterval);
        return;
    }
    if (held)
        qCDebug(lcPaste) << "keys still held after" << releaseWait.count() << "ms; releasing them";
    const bool sent = inject(focus.terminal, heldKeys);
    --m_pending;
    if (sent)
        Q_EMIT chordSent(focus.terminal);
    if (m_pending > 0) {
        m_waiting.start();
        m_timer.start(0);
    }
}

XTestPasteSimulator::FocusInfo XTestPasteSimulator::focusInfo() const
{
    xcb_connection_t *c = m_connection->get();
    XcbReply<xcb_get_input_focus_reply_t> focusReply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focusReply)
        return {};
    const xcb_window_t root = m_connection->rootWindow();
    xcb_window_t window = focusReply->focus;
    if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == root)
        return {};

    const xcb_atom_t pidAtom = m_connection->atom("_NET_WM_PID", true);
    FocusInfo info;
    info.foreign = true;
    for (int depth = 0; depth < maxWindowDepth && window != XCB_NONE && window != root; ++depth) {
        const QByteArray wmClass = readProperty(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        if (!wmClass.isEmpty()) {
            // Two NUL-terminated strings: instance name, class name.
            const QByteArrayList parts = wmClass.split('\0');
            if (TerminalWindowClasses::isTerminal(parts.value(0), parts.value(1)))
                info.terminal = true;
        }
        if (pidAtom != XCB_ATOM_NONE) {
            const QByteArray pid = readProperty(c, window, pidAtom, XCB_ATOM_CARDINAL);
            if (pid.size() >= int(sizeof(uint32_t))
                && *reinterpret_cast<const uint32_t *>(pid.constData()) == uint32_t(getpid()))
                info.foreign = false;
        }
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree)
            break;
        window = tree->parent;
    }
    return info;
}

bool XTestPasteSimulator::inject(bool terminalChord, const std::bitset<256> &heldKeys)
{
    xcb_connection_t *c = m_connection->get();
    // Allocated per chord so that a layout switch is picked up.
    XcbKeySymbols symbols(xcb_key_symbols_alloc(c));
    if (!symbols) {
        qCWarning(lcPaste) << "cannot read the keyboard mapping; not pasting";
        return false;
    }
    const xcb_keycode_t v = keycodeFor(symbols.get(), {XKB_KEY_v, XKB_KEY_V});
    const xcb_keycode_t control = keycodeFor(symbols.get(), {XKB_KEY_Control_L, XKB_KEY_Control_R});
    const xcb_keycode_t shift
        = terminalChord ? keycodeFor(symbols.get(), {XKB_KEY_Shift_L, XKB_KEY_Shift_R}) : 0;
    if (!v || !control || (terminalChord && !shift)) {
        qCWarning(lcPaste) << "the keyboard mapping has no key for V, Control or Shift; not pasting";
        return false;
    }

    const auto send = [c](uint8_t type, xcb_keycode_t key) {
        xcb_test_fake_input(c, type, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    };
    // Keys the user still holds: let them go so that they neither add to the
    // chord nor keep a hotkey grab active. They are not pressed again.
    for (size_t key = 0; key < heldKeys.size(); ++key) {
        if (heldKeys.test(key))
            send(XCB_KEY_RELEASE, xcb_keycode_t(key));
    }
    // One batch: every press below has its release in the same flush.
    send(XCB_KEY_PRESS, control);
    if (terminalChord)
        send(XCB_KEY_PRESS, shift);
    send(XCB_KEY_PRESS, v);
    send(XCB_KEY_RELEASE, v);
    if (terminalChord)
        send(XCB_KEY_RELEASE, shift);
    send(XCB_KEY_RELEASE, control);
    // A round trip makes sure the server has taken the events before we go on.
    XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!sync) {
        qCWarning(lcPaste) << "the display did not answer after the paste keystroke";
        return false;
    }
    return true;
}

void XTestPasteSimulator::drainEvents() const
{
    // No events are selected on this connection, but errors of unchecked
    // requests queue up here.
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection->get()))
        std::free(event);
}
