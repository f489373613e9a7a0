#pragma once

#include "app/KeyboardGrab.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

class ClipboardManager;
class FloatingPanel;
class FloatingPasteView;
class PanelWindowSystem;

// Owns the history store and the floating panel for the life of the process,
// and shows and hides the panel: the global shortcut toggles it; picking an
// entry, Escape and losing the keyboard hide it.
//
// Showing: note the window the user is in, take the keyboard (type-ahead),
// centre the panel on the screen that holds the pointer and give it the
// keyboard. Keys typed before the panel had the keyboard are handed to it
// once it has; the grab ends then, or after typeAheadCap at the latest.
// Hiding on the user's request gives the keyboard back to the noted window,
// before any paste keystroke goes out.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds typeAheadCap {1000};
    // While a key is still down once the panel has the keyboard, the grab is
    // kept and this is how often it is checked again.
    static constexpr std::chrono::milliseconds keyUpPoll {10};

    AppDelegate(std::unique_ptr<ClipboardManager> manager, std::unique_ptr<PanelWindowSystem> windowSystem,
                std::unique_ptr<KeyboardGrab> keyboardGrab, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Builds the hidden panel with its view, then binds toggleFloatingPanel
    // to the togglePanel shortcut.
    void applicationDidFinishLaunching();

    ClipboardManager *clipboardManager() const { return m_manager.get(); }
    FloatingPanel *panel() const { return m_panel.get(); }
    FloatingPasteView *pasteView() const { return m_view; }

    void toggleFloatingPanel();
    void showPanel();
    // Hides the panel; with restoreFocus the window the user came from gets
    // the keyboard back.
    void hidePanel(bool restoreFocus = true);

Q_SIGNALS:
    void panelShown();
    void panelHidden();

private:
    void buildPanel();
    void bindHotKey();
    void panelActivated();
    void keyTyped(const TypedKey &key);
    void releaseGrabWhenKeysAreUp();
    void deliverTypedKeys();
    void deliver(const TypedKey &key);

    std::unique_ptr<ClipboardManager> m_manager;
    std::unique_ptr<PanelWindowSystem> m_windowSystem;
    std::unique_ptr<KeyboardGrab> m_keyboardGrab;
    std::unique_ptr<FloatingPanel> m_panel;
    FloatingPasteView *m_view = nullptr; // owned by the panel
    QTimer m_typeAheadTimer;
    QTimer m_keyUpTimer;
    QList<TypedKey> m_typedKeys;
    bool m_acceptingTypedKeys = false;
    bool m_hiding = false;
};
