#include "app/AppDelegate.h"

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "app/AppLogging.h"
#include "app/PanelWindowSystem.h"
#include "clipboard/ClipboardManager.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScreen>

#include <utility>

AppDelegate::AppDelegate(std::unique_ptr<ClipboardManager> manager,
                         std::unique_ptr<PanelWindowSystem> windowSystem,
                         std::unique_ptr<KeyboardGrab> keyboardGrab, QObject *parent)
    : QObject(parent)
    , m_manager(std::move(manager))
    , m_windowSystem(std::move(windowSystem))
    , m_keyboardGrab(std::move(keyboardGrab))
{
    m_waitTimer.setInterval(pollInterval);
    connect(&m_waitTimer, &QTimer::timeout, this, &AppDelegate::checkKeyboard);
    QPointer<AppDelegate> self(this);
    m_keyboardGrab->onKeyPressed = [self](const TypedKey &key) {
        if (self)
            self->keyTyped(key);
    };
}

AppDelegate::~AppDelegate()
{
    m_keyboardGrab->release();
}

void AppDelegate::applicationDidFinishLaunching()
{
    buildPanel();
    bindHotKey();
}

void AppDelegate::buildPanel()
{
    if (m_panel)
        return;
    m_panel = std::make_unique<FloatingPanel>();
    QPointer<AppDelegate> self(this);
    m_view = new FloatingPasteView(m_manager.get(), [self] {
        if (self)
            self->hidePanel();
    });
    m_panel->setContent(m_view);
    // Qt's activation counts unless the window system, which can be ahead
    // of Qt but never behind it, says otherwise.
    connect(m_panel.get(), &FloatingPanel::activated, this, [this] {
        if (m_panel->isVisible() && !m_hasKeyboard
            && m_windowSystem->hasKeyboardFocus(m_panel->windowHandle()).value_or(true))
            panelGotKeyboard();
    });
    connect(m_panel.get(), &FloatingPanel::deactivated, this, &AppDelegate::panelDeactivated);
}

void AppDelegate::bindHotKey()
{
    QPointer<AppDelegate> self(this);
    KeyboardShortcuts::onKeyDown(KeyboardShortcuts::Name::togglePanel(), [self] {
        if (self)
            self->toggleFloatingPanel(KeyboardShortcuts::hotKeyEventTime());
    });
    qCInfo(lcApp) << "ready";
}

void AppDelegate::toggleFloatingPanel(quint32 userTime)
{
    qCDebug(lcApp) << "toggle";
    if (!m_panel)
        buildPanel();
    // Keys typed before this press still wait for the panel: it takes its
    // turn after them.
    if (m_panel->isVisible() && !m_hasKeyboard && !m_typedKeys.isEmpty()) {
        m_typedKeys.append({{}, true, userTime});
        return;
    }
    if (m_panel->isVisible())
        hidePanel();
    else
        showPanel(userTime);
}

void AppDelegate::showPanel(quint32 userTime)
{
    if (!m_panel)
        buildPanel();
    ++m_showing;
    m_typedKeys.clear();
    m_acceptingTypedKeys = true;
    m_hasKeyboard = false;
    m_focusedDirectly = false;
    m_windowSystem->rememberFocusedWindow();
    m_keyboardGrab->grab();
    m_panel->setTranslucent(m_windowSystem->hasCompositor());
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_panel->present(screen ? screen->availableGeometry() : QRect());
    qCDebug(lcApp) << "panel shown";
    m_shownFor.start();
    m_windowSystem->activate(m_panel->windowHandle(), userTime);
    m_waitTimer.start();
    Q_EMIT panelShown();
}

void AppDelegate::hidePanel(bool restoreFocus)
{
    // Keys typed ahead for a panel that never got the keyboard are dropped
    // rather than sent to the window the user came from.
    m_acceptingTypedKeys = false;
    m_hasKeyboard = false;
    m_waitTimer.stop();
    m_keyboardGrab->release();
    m_typedKeys.clear();
    if (!m_panel || !m_panel->isVisible() || m_hiding)
        return;
    // Hiding deactivates the panel, which asks for hiding once more.
    const QScopedValueRollback hiding(m_hiding, true);
    m_panel->hide();
    if (restoreFocus)
        m_windowSystem->restoreFocusedWindow();
    qCDebug(lcApp) << "panel hidden";
    Q_EMIT panelHidden();
}

void AppDelegate::checkKeyboard()
{
    if (!m_panel->isVisible()) {
        m_waitTimer.stop();
        return;
    }
    if (m_hasKeyboard) {
        releaseGrabWhenKeysAreUp();
        return;
    }
    if (m_windowSystem->hasKeyboardFocus(m_panel->windowHandle()).value_or(false)) {
        panelGotKeyboard();
        return;
    }
    const std::chrono::milliseconds waited(m_shownFor.elapsed());
    if (waited >= focusTimeout) {
        qCWarning(lcApp) << "the panel did not get the keyboard within" << focusTimeout.count()
                         << "ms, neither from the window manager nor by setting the focus itself; closing it"
                         << "and dropping" << m_typedKeys.size() << "typed keys";
        hidePanel();
    } else if (waited >= focusFallbackDelay && !m_focusedDirectly) {
        m_focusedDirectly = true;
        m_windowSystem->focusDirectly(m_panel->windowHandle());
    }
}

void AppDelegate::panelGotKeyboard()
{
    m_hasKeyboard = true;
    m_keyboardFor.start();
    qCDebug(lcApp) << "panel has the keyboard";
    const int showing = m_showing;
    deliverTypedKeys();
    // A typed key may have picked an entry and closed the panel, or a
    // hotkey press among them opened it anew.
    if (m_panel->isVisible() && m_showing == showing)
        releaseGrabWhenKeysAreUp();
}

void AppDelegate::panelDeactivated()
{
    if (!m_panel->isVisible() || m_hiding)
        return;
    // Qt reports a deactivation up to 400 ms after the window lost the X
    // focus (it waits for a focus change among its own windows). One that
    // arrives before this showing had the keyboard, or while the window
    // system still sees the keyboard on the panel, belongs to an earlier
    // showing.
    if (!m_hasKeyboard || m_windowSystem->hasKeyboardFocus(m_panel->windowHandle()).value_or(false)) {
        qCDebug(lcApp) << "ignoring a late deactivation of the panel";
        return;
    }
    // The user went elsewhere: that window keeps the keyboard.
    hidePanel(false);
}

void AppDelegate::keyTyped(const TypedKey &key)
{
    if (!m_acceptingTypedKeys)
        return;
    if (m_hasKeyboard && m_typedKeys.isEmpty())
        deliver(key);
    else
        m_typedKeys.append({key});
}

void AppDelegate::releaseGrabWhenKeysAreUp()
{
    if (!m_keyboardGrab->isGrabbed()) {
        m_waitTimer.stop();
        return;
    }
    // A key let go after the ungrab would be released in a window that
    // never saw it pressed (and the hotkey layer would miss the release of
    // its own key): keep the grab until every key is up, within the cap.
    if (m_keyboardGrab->isAnyKeyDown()) {
        if (std::chrono::milliseconds(m_keyboardFor.elapsed()) < keyUpCap) {
            m_waitTimer.start();
            return;
        }
        qCWarning(lcApp) << "a key is still down" << keyUpCap.count()
                         << "ms after the panel got the keyboard;"
                         << "releasing the keyboard anyway";
    }
    m_waitTimer.stop();
    m_keyboardGrab->release();
}

void AppDelegate::deliverTypedKeys()
{
    while (!m_typedKeys.isEmpty() && m_acceptingTypedKeys) {
        const Queued next = m_typedKeys.takeFirst();
        // Closing the panel drops the queue: keep what follows.
        QList<Queued> rest = std::exchange(m_typedKeys, {});
        if (next.togglesPanel)
            hidePanel();
        else
            deliver(next.key);
        if (!m_panel->isVisible()) {
            continueAfterClosing(std::move(rest));
            return;
        }
        m_typedKeys = std::move(rest);
    }
}

void AppDelegate::continueAfterClosing(QList<Queued> rest)
{
    // Keys typed for a panel that has closed meanwhile go nowhere (a paste
    // may be on its way to the window the user came from); a hotkey press
    // among them opens the panel again, and what follows is typed ahead for
    // that showing.
    while (!rest.isEmpty() && !rest.first().togglesPanel)
        rest.removeFirst();
    if (rest.isEmpty())
        return;
    const quint32 time = rest.takeFirst().time;
    showPanel(time);
    m_typedKeys = std::move(rest);
}

void AppDelegate::deliver(const TypedKey &typed)
{
    QWidget *target = QApplication::focusWidget();
    if (!target || target->window() != m_panel.get())
        target = m_view->searchField();
    QKeyEvent press(QEvent::KeyPress, typed.key, typed.modifiers, typed.nativeScanCode,
                    typed.nativeVirtualKey, typed.nativeModifiers, typed.text);
    QCoreApplication::sendEvent(target, &press);
    // A key may pick an entry and hide the panel; what follows is dropped.
    if (!m_panel->isVisible())
        return;
    QKeyEvent release(QEvent::KeyRelease, typed.key, typed.modifiers, typed.nativeScanCode,
                      typed.nativeVirtualKey, typed.nativeModifiers, typed.text);
    QCoreApplication::sendEvent(target, &release);
}
