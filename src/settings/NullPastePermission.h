#pragma once

#include "settings/PastePermission.h"

// Stands in where the platform has no way to send the paste keystroke
// (for example a Wayland session): never granted, and says why.
class NullPastePermission final : public PastePermission
{
public:
    bool isGranted() override { return false; }
    bool isSupported() const override { return false; }
    bool request() override { return false; }
    QString missingExplanation() const override;
};
