#include "KeyboardShortcuts/x11/X11KeyGrabber.h"

#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "x11/XcbHeldKeys.h"
#include "x11/XcbReply.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstring>
#include <vector>

namespace KeyboardShortcuts {

namespace {

// The modifier bits a grab compares; every other bit (the locks, and Mod
// bits the keymap gives to keys we do not use) is ignored on a press.
quint16 relevantBits(const X11ModifierMasks &masks)
{
    return quint16(XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | masks.alt | masks.super);
}

} // namespace

X11KeyGrabber::X11KeyGrabber(xcb_connection_t *connection, xcb_window_t root, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_root(root)
{
    m_masks = X11ModifierMasks::read(m_connection);
    if (m_connection) {
        static const char name[] = "XKEYBOARD";
        XcbReply<xcb_query_extension_reply_t> xkb(xcb_query_extension_reply(
            m_connection, xcb_query_extension(m_connection, uint16_t(std::strlen(name)), name), nullptr));
        if (xkb && xkb->present)
            m_xkbFirstEvent = xkb->first_event;
    }
    m_releaseCheck.setSingleShot(true);
    m_releaseCheck.setInterval(ReleaseCheckDelayMs);
    connect(&m_releaseCheck, &QTimer::timeout, this, &X11KeyGrabber::checkRelease);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11KeyGrabber::~X11KeyGrabber()
{
    // Without the application, Qt's connection is already closed and the
    // server has dropped the grabs with it.
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    while (!m_grabs.empty())
        ungrab(m_grabs.begin()->first);
}

quint16 X11KeyGrabber::xModifiers(Qt::KeyboardModifiers modifiers, bool *ok) const
{
    *ok = true;
    quint16 bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        bits |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier) {
        *ok = *ok && m_masks.alt;
        bits |= m_masks.alt;
    }
    if (modifiers & Qt::MetaModifier) {
        *ok = *ok && m_masks.super;
        bits |= m_masks.super;
    }
    const Qt::KeyboardModifiers known
        = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (modifiers & ~known)
        *ok = false;
    return bits;
}

QVector<quint16> X11KeyGrabber::lockVariants(quint16 modifiers) const
{
    QVector<quint16> locks;
    for (quint16 lock : {quint16(XCB_MOD_MASK_LOCK), m_masks.numLock, m_masks.scrollLock}) {
        // A lock that shares its bit with a modifier of the grab cannot be told
        // apart from it; leave it out rather than grab a different chord.
        if (lock && !(lock & modifiers) && !locks.contains(lock))
            locks.append(lock);
    }
    QVector<quint16> variants;
    for (int subset = 0; subset < (1 << locks.size()); ++subset) {
        quint16 bits = modifiers;
        for (int i = 0; i < locks.size(); ++i) {
            if (subset & (1 << i))
                bits |= locks[i];
        }
        variants.append(bits);
    }
    return variants;
}

bool X11KeyGrabber::sharedWithAnotherGrab(quint32 id, const Grab &grab) const
{
    for (const auto &[otherId, other] : m_grabs) {
        if (otherId != id && other.keycode == grab.keycode && other.modifiers == grab.modifiers)
            return true;
    }
    return false;
}

int X11KeyGrabber::grab(quint32 id, xcb_keycode_t keycode, Qt::KeyboardModifiers modifiers)
{
    ungrab(id);
    bool ok = false;
    const quint16 bits = xModifiers(modifiers, &ok);
    // Keycode 0 is AnyKey to the server: grabbing it would take the whole keyboard.
    if (!ok || keycode < 8 || !m_connection || xcb_connection_has_error(m_connection))
        return NotGrabbable;

    Grab grab {keycode, bits, lockVariants(bits)};
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(size_t(grab.variants.size()));
    // owner_events false: the events are reported to the root window even when
    // one of our own windows has the focus, so the hotkey never reaches a widget.
    for (quint16 variant : grab.variants) {
        cookies.push_back(xcb_grab_key_checked(m_connection, 0, m_root, variant, keycode, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    }
    int status = 0;
    for (const xcb_void_cookie_t &cookie : cookies) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie));
        if (error && status == 0)
            status = error->error_code;
    }
    if (status != 0) {
        // Ungrabbing only ever releases our own grabs, never another client's.
        if (!sharedWithAnotherGrab(id, grab)) {
            for (quint16 variant : grab.variants)
                xcb_ungrab_key(m_connection, keycode, m_root, variant);
            xcb_flush(m_connection);
        }
        qCDebug(lcShortcuts) << "grab of keycode" << keycode << "modifiers" << Qt::hex << bits
                             << "failed with" << Qt::dec << status;
        return status;
    }
    m_grabs.emplace(id, std::move(grab));
    return 0;
}

void X11KeyGrabber::ungrab(quint32 id)
{
    const auto it = m_grabs.find(id);
    if (it == m_grabs.end())
        return;
    const Grab grab = it->second;
    m_grabs.erase(it);
    // A held key stays latched: a grab taken again after a mapping change
    // must not report the still-held key as a new press, and the release of
    // a key whose grab is gone names an id the listener no longer knows.
    // Without the application Qt's connection is closed (the server dropped
    // the grabs with it).
    if (!m_connection || !QCoreApplication::instance() || sharedWithAnotherGrab(id, grab))
        return;
    for (quint16 variant : grab.variants)
        xcb_ungrab_key(m_connection, grab.keycode, m_root, variant);
    xcb_flush(m_connection);
}

void X11KeyGrabber::refreshModifierMasks()
{
    m_masks = X11ModifierMasks::read(m_connection);
}

bool X11KeyGrabber::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        const auto *key = static_cast<const xcb_key_press_event_t *>(message);
        if (key->event != m_root || m_grabs.empty())
            return false;
        // A press reported as a hotkey is consumed: no other filter of the
        // application (the panel's type-ahead, say) takes it for typing.
        if (type == XCB_KEY_PRESS)
            return handleKeyPress(key->detail, key->state, key->time);
        handleKeyRelease(key->detail, key->time);
        return false;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        const auto *mapping = static_cast<const xcb_mapping_notify_event_t *>(message);
        if (mapping->request == XCB_MAPPING_MODIFIER || mapping->request == XCB_MAPPING_KEYBOARD)
            scheduleMappingChanged();
        return false;
    }
    // XKB events share one event number; the second byte says which. 0 is
    // NewKeyboardNotify (another keyboard or keycodes), 1 is MapNotify.
    if (m_xkbFirstEvent && type == m_xkbFirstEvent) {
        const quint8 xkbType = reinterpret_cast<const quint8 *>(message)[1];
        if (xkbType == 0 || xkbType == 1)
            scheduleMappingChanged();
    }
    return false;
}

bool X11KeyGrabber::handleKeyPress(xcb_keycode_t keycode, quint16 state, xcb_timestamp_t time)
{
    // Without detectable auto-repeat the server sends a release and a press
    // with the same time stamp for every repeat.
    if (m_lastRelease && m_lastRelease->keycode == keycode && m_lastRelease->time == time) {
        if (m_latch && m_latch->keycode == keycode) {
            m_releaseCheck.stop();
            m_latchReleasedAt.reset();
        }
        return false;
    }
    if (m_latch && m_latch->keycode == keycode) {
        // With detectable auto-repeat, only presses repeat. A press after a
        // release of the key (with another time stamp) is the user pressing
        // it again before the release was confirmed: that release counts.
        if (!m_latchReleasedAt)
            return false;
        m_releaseCheck.stop();
        const quint32 id = m_latch->id;
        m_latch.reset();
        m_eventTime = *m_latchReleasedAt;
        Q_EMIT released(id);
    }
    const quint16 bits = state & relevantBits(m_masks);
    for (const auto &[id, grab] : m_grabs) {
        if (grab.keycode == keycode && grab.modifiers == bits) {
            m_releaseCheck.stop();
            m_latch = Latch {id, keycode};
            m_latchReleasedAt.reset();
            m_eventTime = time;
            Q_EMIT pressed(id);
            return true;
        }
    }
    return false;
}

void X11KeyGrabber::handleKeyRelease(xcb_keycode_t keycode, xcb_timestamp_t time)
{
    m_lastRelease = Release {keycode, time};
    // Decided a moment later: a press with the same time stamp may follow.
    if (m_latch && m_latch->keycode == keycode) {
        m_latchReleasedAt = time;
        m_releaseCheck.start();
    }
}

void X11KeyGrabber::checkRelease()
{
    if (!m_latch)
        return;
    // Still down: the release belonged to an auto-repeat whose press is on
    // its way. The real release comes later and is checked again.
    if (isKeyDown(m_latch->keycode))
        return;
    const quint32 id = m_latch->id;
    m_latch.reset();
    if (m_latchReleasedAt)
        m_eventTime = *m_latchReleasedAt;
    Q_EMIT released(id);
}

bool X11KeyGrabber::isKeyDown(xcb_keycode_t keycode) const
{
    return queryHeldKeys(m_connection).test(keycode);
}

void X11KeyGrabber::scheduleMappingChanged()
{
    if (m_mappingChangeScheduled)
        return;
    m_mappingChangeScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_mappingChangeScheduled = false;
            Q_EMIT keyboardMappingChanged();
        },
        Qt::QueuedConnection);
}

} // namespace KeyboardShortcuts
