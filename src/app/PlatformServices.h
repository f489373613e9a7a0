#pragma once

#include "app/KeyboardGrab.h"
#include "app/PanelWindowSystem.h"
#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"
#include "settings/LoginItem.h"
#include "settings/PastePermission.h"

#include <memory>
#include <optional>

// The platform services of the application, chosen once, here.
struct PlatformServices
{
    std::unique_ptr<PasteboardProvider> pasteboard;
    std::unique_ptr<PasteSimulator> pasteSimulator;
    std::shared_ptr<TextRecognizer> textRecognizer; // may be null: images are kept without text
    std::unique_ptr<PanelWindowSystem> windowSystem;
    std::unique_ptr<KeyboardGrab> keyboardGrab;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<PastePermission> pastePermission;

    // The X11 services, with null stand-ins for the optional ones; nothing
    // when the clipboard cannot be watched (no X display, no XFIXES).
    static std::optional<PlatformServices> create();
};
