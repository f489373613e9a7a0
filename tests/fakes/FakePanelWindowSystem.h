#pragma once

#include "app/PanelWindowSystem.h"

#include <QList>
#include <QWindow>

#include <functional>

// Plays the window system and its window manager for the panel, and counts
// what the panel presentation asked of it. (Qt's offscreen platform activates
// every window it shows; only with Focus::ByManager does that count as the
// keyboard.)
class FakePanelWindowSystem final : public PanelWindowSystem
{
public:
    // How a request for the keyboard is answered.
    enum class Focus {
        ByManager, // the window manager activates the window, and Qt reports it
        Silently, // the window gets the keyboard, but Qt reports no activation
        OnlyDirectly, // the manager ignores the request; focusing directly works (Qt reports nothing)
        Never, // neither works
    };

    Focus focus = Focus::ByManager;
    // What the window system reports about the panel's keyboard focus, on
    // top of Qt's view.
    bool focused = false;
    int restored = 0;
    int directFocusRequests = 0;
    QList<quint32> activationTimes;
    std::function<void()> onRestore;

    void rememberFocusedWindow() override { }
    void restoreFocusedWindow() override
    {
        ++restored;
        if (onRestore)
            onRestore();
    }
    bool hasCompositor() const override { return true; }
    void activate(QWindow *window, quint32 userTime) override
    {
        activationTimes << userTime;
        focused = focus == Focus::Silently;
        if (focus == Focus::ByManager)
            window->requestActivate();
    }
    void focusDirectly(QWindow *) override
    {
        ++directFocusRequests;
        focused = focused || focus == Focus::OnlyDirectly;
    }
    std::optional<bool> hasKeyboardFocus(const QWindow *window) const override
    {
        return focused || (focus == Focus::ByManager && window->isActive());
    }
};
