#include "clipboard/wayland/WaylandPasteSimulator.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/TerminalWindowClasses.h"
#include "clipboard/wayland/WaylandToplevelTracker.h"
#include "wayland/WaylandConnection.h"
#include "wayland/protocols/fake-input-client-protocol.h"
#include "wayland/protocols/virtual-keyboard-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <xkbcommon/xkbcommon.h>

#include <cstring>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

// Our own windows carry this app_id (QGuiApplication::desktopFileName).
const QByteArray ownAppId = QByteArrayLiteral("halvex");

} // namespace

WaylandPasteSimulator::WaylandPasteSimulator(Method method, QObject *parent)
    : QObject(parent)
    , m_method(method)
    , m_connection(std::make_unique<WaylandConnection>())
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setInterval(pollInterval);
    connect(&m_timer, &QTimer::timeout, this, &WaylandPasteSimulator::attempt);
    if (!m_connection->isValid()) {
        qCWarning(lcPaste) << "cannot connect to the Wayland compositor; pasting only copies";
        return;
    }
    m_available = method == Method::VirtualKeyboard ? setUpVirtualKeyboard() : setUpFakeInput();
    if (!m_available)
        return;
    m_toplevels = std::make_unique<WaylandToplevelTracker>(*m_connection);
    m_notifier = std::make_unique<QSocketNotifier>(m_connection->fileDescriptor(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandPasteSimulator::dispatch);
    // The toplevels present now.
    m_connection->roundtrip();
    m_available = m_connection->isValid();
    if (!m_toplevels->isAvailable())
        qCInfo(lcPaste) << "the compositor does not tell which window has the keyboard: terminals get Ctrl+V";
}

WaylandPasteSimulator::~WaylandPasteSimulator()
{
    m_notifier.reset();
    m_toplevels.reset();
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_keyboardManager)
        zwp_virtual_keyboard_manager_v1_destroy(m_keyboardManager);
    if (m_fakeInput)
        org_kde_kwin_fake_input_destroy(m_fakeInput);
    if (m_seat)
        wl_seat_destroy(m_seat);
}

bool WaylandPasteSimulator::setUpVirtualKeyboard()
{
    m_seat = static_cast<wl_seat *>(m_connection->bind(&wl_seat_interface, 1));
    m_keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
        m_connection->bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!m_seat || !m_keyboardManager) {
        qCWarning(lcPaste) << "the compositor offers no virtual keyboard; pasting only copies";
        return false;
    }

    // Our own keymap: the chord means Ctrl+V whatever layout the user has.
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    xkb_keymap *keymap
        = context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    bool ok = false;
    if (text) {
        m_controlMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
        m_shiftMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("halvex-keymap", MFD_CLOEXEC);
        if (fd >= 0 && ::write(fd, text, size) == ssize_t(size)) {
            m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_keyboardManager, m_seat);
            // The fd is duplicated when the request is queued.
            zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
            ok = true;
        }
        if (fd >= 0)
            ::close(fd);
    }
    std::free(text);
    if (keymap)
        xkb_keymap_unref(keymap);
    if (context)
        xkb_context_unref(context);
    if (!ok) {
        qCWarning(lcPaste) << "cannot build a keymap for the virtual keyboard; pasting only copies";
        return false;
    }
    // A compositor that refuses the keyboard ends the connection here.
    return m_connection->roundtrip();
}

bool WaylandPasteSimulator::setUpFakeInput()
{
    m_fakeInput
        = static_cast<org_kde_kwin_fake_input *>(m_connection->bind(&org_kde_kwin_fake_input_interface, 4));
    if (!m_fakeInput || wl_proxy_get_version(reinterpret_cast<wl_proxy *>(m_fakeInput)) < 4) {
        qCWarning(lcPaste) << "the compositor's fake input cannot type keys; pasting only copies";
        return false;
    }
    org_kde_kwin_fake_input_authenticate(m_fakeInput, "Halvex", "Paste the clipboard entry you picked");
    return m_connection->roundtrip();
}

void WaylandPasteSimulator::dispatch()
{
    if (wl_display_dispatch(m_connection->display()) < 0) {
        qCWarning(lcPaste) << "lost the connection to the Wayland compositor; pasting only copies";
        m_notifier->setEnabled(false);
        m_available = false;
    }
}

void WaylandPasteSimulator::simulatePaste()
{
    if (!m_available)
        return;
    ++m_pending;
    if (!m_timer.isActive()) {
        m_waiting.start();
        attempt();
    }
}

bool WaylandPasteSimulator::focusHasLeftUs() const
{
    // Qt has seen the keyboard leave our windows...
    if (QGuiApplication::focusWindow())
        return false;
    // ...and, where the compositor tells, another window has it.
    if (m_toplevels && m_toplevels->isAvailable())
        return m_toplevels->hasActivated() && m_toplevels->activatedAppId() != ownAppId;
    return true;
}

void WaylandPasteSimulator::attempt()
{
    if (m_pending == 0)
        return;
    wl_display_dispatch_pending(m_connection->display());
    if (!focusHasLeftUs() && !m_waiting.hasExpired(releaseWait.count())) {
        m_timer.start();
        return;
    }
    if (!focusHasLeftUs())
        qCDebug(lcPaste) << "the keyboard did not leave Halvex in time; pasting anyway";
    const QByteArray appId = m_toplevels ? m_toplevels->activatedAppId() : QByteArray();
    const bool terminal = TerminalWindowClasses::isTerminalAppId(appId);
    typeChord(terminal);
    --m_pending;
    qCDebug(lcPaste) << "typed" << (terminal ? "Ctrl+Shift+V" : "Ctrl+V") << "into" << appId;
    Q_EMIT chordSent(terminal);
    if (m_pending > 0) {
        m_waiting.start();
        m_timer.start();
    }
}

quint32 WaylandPasteSimulator::now() const
{
    return quint32(m_clock.elapsed());
}

void WaylandPasteSimulator::typeChord(bool withShift)
{
    if (m_method == Method::VirtualKeyboard) {
        // The modifier state rides on the keyboard's modifier event, as a
        // real keyboard reports it after the modifier keys.
        const quint32 modifiers = m_controlMask | (withShift ? m_shiftMask : 0);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, modifiers, 0, 0, 0);
        zwp_virtual_keyboard_v1_key(m_keyboard, now(), KEY_V, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(m_keyboard, now(), KEY_V, WL_KEYBOARD_KEY_STATE_RELEASED);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    } else {
        // KWin runs fake keys through the seat's own keymap and modifier state.
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, KEY_LEFTCTRL, WL_KEYBOARD_KEY_STATE_PRESSED);
        if (withShift)
            org_kde_kwin_fake_input_keyboard_key(m_fakeInput, KEY_LEFTSHIFT, WL_KEYBOARD_KEY_STATE_PRESSED);
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, KEY_V, WL_KEYBOARD_KEY_STATE_PRESSED);
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, KEY_V, WL_KEYBOARD_KEY_STATE_RELEASED);
        if (withShift)
            org_kde_kwin_fake_input_keyboard_key(m_fakeInput, KEY_LEFTSHIFT, WL_KEYBOARD_KEY_STATE_RELEASED);
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, KEY_LEFTCTRL, WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    wl_display_flush(m_connection->display());
}
