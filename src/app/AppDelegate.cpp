#include "app/AppDelegate.h"

#include "app/PanelWindowSystem.h"
#include "clipboard/ClipboardManager.h"
#include "views/FloatingPanel.h"
#include "views/FloatingPasteView.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScreen>

Q_LOGGING_CATEGORY(lcApp, "halvex.app")

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
        qCWarning(lcApp) << "the panel did not get the keyboard in time; releasing the keyboard";
        endTypeAhead();
    });
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

void AppDelegate::bindHotKey() { }

void AppDelegate::toggleFloatingPanel()
{
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
    m_typeAheadTimer.stop();
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
    endTypeAhead();
    deliverTypedKeys();
}

void AppDelegate::endTypeAhead()
{
    m_typeAheadTimer.stop();
    if (m_keyboardGrab->isGrabbed())
        m_typedKeys.append(m_keyboardGrab->release());
    if (m_panel && m_panel->isActiveWindow())
        deliverTypedKeys();
}

void AppDelegate::deliverTypedKeys()
{
    const QList<TypedKey> keys = std::exchange(m_typedKeys, {});
    for (const TypedKey &typed : keys) {
        // A key may pick an entry and hide the panel: the rest is dropped.
        if (!m_panel->isVisible())
            return;
        QWidget *target = QApplication::focusWidget();
        if (!target || target->window() != m_panel.get())
            target = m_view->searchField();
        QKeyEvent press(QEvent::KeyPress, typed.key, typed.modifiers, typed.nativeScanCode,
                        typed.nativeVirtualKey, typed.nativeModifiers, typed.text);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, typed.key, typed.modifiers, typed.nativeScanCode,
                          typed.nativeVirtualKey, typed.nativeModifiers, typed.text);
        if (m_panel->isVisible())
            QCoreApplication::sendEvent(target, &release);
    }
}
