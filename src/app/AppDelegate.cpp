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

AppDelegate::AppDelegate(std::unique_ptr<ClipboardManager> manager,
                         std::unique_ptr<PanelWindowSystem> windowSystem,
                         std::unique_ptr<KeyboardGrab> keyboardGrab, QObject *parent)
    : QObject(parent)
    , m_manager(std::move(manager))
    , m_windowSystem(std::move(windowSystem))
    , m_keyboardGrab(std::move(keyboardGrab))
{
    m_typeAheadTimer.setSingleShot(true);
    m_typeAheadTimer.setInterval(typeAheadCap);
    connect(&m_typeAheadTimer, &QTimer::timeout, this, [this] {
        qCWarning(lcApp) << "type-ahead took too long; releasing the keyboard";
        m_keyUpTimer.stop();
        m_keyboardGrab->release();
    });
    m_keyUpTimer.setSingleShot(true);
    m_keyUpTimer.setInterval(keyUpPoll);
    connect(&m_keyUpTimer, &QTimer::timeout, this, &AppDelegate::releaseGrabWhenKeysAreUp);
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
    connect(m_panel.get(), &FloatingPanel::activated, this, &AppDelegate::panelActivated);
    connect(m_panel.get(), &FloatingPanel::deactivated, this, [this] {
        // The user went elsewhere: that window keeps the keyboard.
        if (m_panel->isVisible())
            hidePanel(false);
    });
}

void AppDelegate::bindHotKey()
{
    QPointer<AppDelegate> self(this);
    KeyboardShortcuts::onKeyDown(KeyboardShortcuts::Name::togglePanel(), [self] {
        if (self)
            self->toggleFloatingPanel();
    });
    qCInfo(lcApp) << "ready";
}

void AppDelegate::toggleFloatingPanel()
{
    qCDebug(lcApp) << "toggle";
    if (!m_panel)
        buildPanel();
    if (m_panel->isVisible())
        hidePanel();
    else
        showPanel();
}

void AppDelegate::showPanel()
{
    if (!m_panel)
        buildPanel();
    m_typedKeys.clear();
    m_acceptingTypedKeys = true;
    m_windowSystem->rememberFocusedWindow();
    if (m_keyboardGrab->grab())
        m_typeAheadTimer.start();
    m_panel->setTranslucent(m_windowSystem->hasCompositor());
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_panel->present(screen ? screen->availableGeometry() : QRect());
    qCDebug(lcApp) << "panel shown";
    Q_EMIT panelShown();
}

void AppDelegate::hidePanel(bool restoreFocus)
{
    // Keys typed ahead for a panel that never got the keyboard are dropped
    // rather than sent to the window the user came from.
    m_acceptingTypedKeys = false;
    m_typeAheadTimer.stop();
    m_keyUpTimer.stop();
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

void AppDelegate::panelActivated()
{
    qCDebug(lcApp) << "panel has the keyboard";
    deliverTypedKeys();
    releaseGrabWhenKeysAreUp();
}

void AppDelegate::keyTyped(const TypedKey &key)
{
    if (!m_acceptingTypedKeys)
        return;
    if (m_panel->isVisible() && m_panel->isActiveWindow() && m_typedKeys.isEmpty())
        deliver(key);
    else
        m_typedKeys.append(key);
}

void AppDelegate::releaseGrabWhenKeysAreUp()
{
    if (!m_keyboardGrab->isGrabbed()) {
        m_typeAheadTimer.stop();
        return;
    }
    // A key let go after the ungrab would be released in a window that
    // never saw it pressed (and the hotkey layer would miss the release of
    // its own key): keep the grab until every key is up, within the cap.
    if (m_keyboardGrab->isAnyKeyDown()) {
        m_keyUpTimer.start();
        return;
    }
    m_typeAheadTimer.stop();
    m_keyboardGrab->release();
}

void AppDelegate::deliverTypedKeys()
{
    while (!m_typedKeys.isEmpty() && m_acceptingTypedKeys)
        deliver(m_typedKeys.takeFirst());
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
