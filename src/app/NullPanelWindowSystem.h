#pragma once

#include "app/PanelWindowSystem.h"

// For window systems that hand the keyboard back by themselves and always
// composite (or where nothing better is known).
class NullPanelWindowSystem final : public PanelWindowSystem
{
public:
    void rememberFocusedWindow() override { }
    void restoreFocusedWindow() override { }
    bool hasCompositor() const override { return true; }
};
