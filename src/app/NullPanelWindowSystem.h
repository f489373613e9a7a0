#pragma once

#include "app/PanelWindowSystem.h"

#include <QWindow>

// For window systems that hand the keyboard back by themselves and always
// composite (or where nothing better is known): activation goes through Qt,
// and Qt's idea of the active window is all there is.
class NullPanelWindowSystem final : public PanelWindowSystem
{
public:
    void rememberFocusedWindow() override { }
    void restoreFocusedWindow() override { }
    bool hasCompositor() const override { return true; }
    void activate(QWindow *window, quint32) override { window->requestActivate(); }
    void focusDirectly(QWindow *window) override { window->requestActivate(); }
    std::optional<bool> hasKeyboardFocus(const QWindow *) const override { return std::nullopt; }
};
