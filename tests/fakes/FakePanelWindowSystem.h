#pragma once

#include "app/PanelWindowSystem.h"

#include <functional>

// Counts what the panel presentation asked of the window system.
class FakePanelWindowSystem final : public PanelWindowSystem
{
public:
    int remembered = 0;
    int restored = 0;
    bool compositor = true;
    std::function<void()> onRestore;

    void rememberFocusedWindow() override { ++remembered; }
    void restoreFocusedWindow() override
    {
        ++restored;
        if (onRestore)
            onRestore();
    }
    bool hasCompositor() const override { return compositor; }
};
