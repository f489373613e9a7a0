#pragma once

#include "settings/PastePermission.h"

// On Wayland the compositor either offers a way to type into other
// applications (a virtual keyboard, KDE's fake input) or it does not; there is
// nothing to ask for at run time. Without one, Halvex only copies.
class WaylandPastePermission final : public PastePermission
{
public:
    explicit WaylandPastePermission(bool keystrokesOffered)
        : m_offered(keystrokesOffered)
    { }

    bool isGranted() override { return m_offered; }
    bool isSupported() const override { return m_offered; }
    bool request() override { return m_offered; }
    QString missingExplanation() const override;

private:
    bool m_offered;
};
