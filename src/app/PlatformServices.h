#pragma once

#include "clipboard/PasteSimulator.h"
#include "clipboard/PasteboardProvider.h"
#include "clipboard/TextRecognizer.h"

#include <memory>
#include <optional>

// The platform services of the history store, chosen once, here.
struct PlatformServices
{
    std::unique_ptr<PasteboardProvider> pasteboard;
    std::unique_ptr<PasteSimulator> pasteSimulator;
    std::shared_ptr<TextRecognizer> textRecognizer; // may be null: images are kept without text

    // The X11 services; nothing when the clipboard cannot be watched (no X
    // display, no XFIXES).
    static std::optional<PlatformServices> create();
};
