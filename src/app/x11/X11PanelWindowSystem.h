#pragma once

#include "app/PanelWindowSystem.h"

#include <xcb/xcb.h>

#include <memory>

// The focused X window and the compositing manager, asked on the connection
// Qt reads.
class X11PanelWindowSystem final : public PanelWindowSystem
{
public:
    // Over the connection of the running QGuiApplication on the xcb platform;
    // null elsewhere.
    static std::unique_ptr<X11PanelWindowSystem> create();

    X11PanelWindowSystem(xcb_connection_t *connection, int screenNumber);

    void rememberFocusedWindow() override;
    void restoreFocusedWindow() override;
    bool hasCompositor() const override;

private:
    xcb_window_t focusedWindow() const;

    xcb_connection_t *m_connection;
    xcb_atom_t m_compositorSelection = XCB_ATOM_NONE;
    xcb_window_t m_saved = XCB_WINDOW_NONE;
};
