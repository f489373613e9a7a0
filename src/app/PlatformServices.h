#pragma once

#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/ShortcutServices.h"
#include "app/BackendSelection.h"
#include "app/KeyboardGrab.h"
#include "app/PanelWindowSystem.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"
#include "settings/LoginItem.h"
#include "settings/PastePermission.h"

#include <memory>
#include <optional>

// Every platform service of the application, chosen once, here: X11 when Qt
// runs on xcb; on Wayland from the protocols the compositor offers. Where the
// platform has no implementation, a null one stands in and says so.
struct PlatformServices
{
    BackendSelection::Session session;
    BackendSelection selection;

    std::unique_ptr<PasteboardProvider> pasteboard;
    std::unique_ptr<PasteSimulator> pasteSimulator;
    std::shared_ptr<TextRecognizer> textRecognizer; // may be null: images are kept without text
    std::unique_ptr<PanelWindowSystem> windowSystem;
    std::unique_ptr<KeyboardGrab> keyboardGrab;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<PastePermission> pastePermission;
    // The global hotkeys and the shortcut subsystem's texts and conflict
    // checks (installed into the subsystem by the application).
    std::unique_ptr<KeyboardShortcuts::HotKeyBackend> hotKeyBackend;
    KeyboardShortcuts::ShortcutServices shortcutServices;

    // What the running session offers (needs the QGuiApplication).
    static BackendSelection::Session probeSession();

    // The services for the running QGuiApplication's session; nothing when
    // the clipboard cannot be watched at all on X11 (no XFIXES).
    static std::optional<PlatformServices> create();
};
