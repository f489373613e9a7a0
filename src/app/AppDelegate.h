#pragma once

#include "app/KeyboardGrab.h"

#include <QElapsedTimer>
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
// centre the panel on the screen that holds the pointer and ask for the
// keyboard on behalf of the user's action. Whoever answers first counts:
// Qt's activation or the window system reporting the focus on the panel (Qt
// may not report it: a panel shown again soon after hiding is still active
// in Qt's eyes, and Qt then sends no activation). If the window manager has
// not focused the panel within focusFallbackDelay, the panel takes the focus
// itself; without the keyboard after focusTimeout it closes again.
//
// Keys typed until the panel has the keyboard are queued and then handed to
// it in order; they never reach the window the user came from. A hotkey
// press among them takes its turn in the queue too (hotkey, Escape, hotkey,
// typing opens, closes and opens again, and the typing goes to the panel).
// After a key closed the panel, the keys up to the next queued hotkey press
// are dropped. The grab ends once the panel has the keyboard and no key is
// down (keyUpCap at most later), or when the panel closes.
//
// Hiding on the user's request gives the keyboard back to the noted window,
// before any paste keystroke goes out.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds focusFallbackDelay {100};
    static constexpr std::chrono::milliseconds focusTimeout {1500};
    // While waiting for the keyboard, and while a key is still down once the
    // panel has it, the state is checked again this often.
    static constexpr std::chrono::milliseconds pollInterval {10};
    static constexpr std::chrono::milliseconds keyUpCap {1000};

    AppDelegate(std::unique_ptr<ClipboardManager> manager, std::unique_ptr<PanelWindowSystem> windowSystem,
                std::unique_ptr<KeyboardGrab> keyboardGrab, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Builds the hidden panel with its view, then binds toggleFloatingPanel
    // to the togglePanel shortcut.
    void applicationDidFinishLaunching();

    ClipboardManager *clipboardManager() const { return m_manager.get(); }
    FloatingPanel *panel() const { return m_panel.get(); }
    FloatingPasteView *pasteView() const { return m_view; }
    bool panelHasKeyboard() const { return m_hasKeyboard; }

    // userTime: the window system's time stamp of the input event that asked
    // for the panel (the hotkey's key press); 0 when none did.
    void toggleFloatingPanel(quint32 userTime = 0);
    void showPanel(quint32 userTime = 0);
    // Hides the panel; with restoreFocus the window the user came from gets
    // the keyboard back.
    void hidePanel(bool restoreFocus = true);

Q_SIGNALS:
    void panelShown();
    void panelHidden();

private:
    void buildPanel();
    void bindHotKey();
    void checkKeyboard();
    void panelGotKeyboard();
    void panelDeactivated();
    void keyTyped(const TypedKey &key);
    void releaseGrabWhenKeysAreUp();
    // A typed key, or a press of the hotkey (with its time).
    struct Queued
    {
        TypedKey key;
        bool togglesPanel = false;
        quint32 time = 0;
    };

    void deliverTypedKeys();
    void continueAfterClosing(QList<Queued> rest);
    void deliver(const TypedKey &key);

    std::unique_ptr<ClipboardManager> m_manager;
    std::unique_ptr<PanelWindowSystem> m_windowSystem;
    std::unique_ptr<KeyboardGrab> m_keyboardGrab;
    std::unique_ptr<FloatingPanel> m_panel;
    FloatingPasteView *m_view = nullptr; // owned by the panel
    QTimer m_waitTimer; // waiting for the keyboard, then for the keys to be up
    QElapsedTimer m_shownFor;
    QElapsedTimer m_keyboardFor;
    QList<Queued> m_typedKeys;
    int m_showing = 0; // counts the showings
    bool m_acceptingTypedKeys = false;
    bool m_hasKeyboard = false;
    bool m_focusedDirectly = false;
    bool m_hiding = false;
};
