#pragma once

#include "settings/PastePermission.h"

#include <QByteArray>

#include <memory>

class XcbConnection;

// On X11 the paste keystroke is sent through the XTEST extension, so the
// permission is granted exactly when the X server answers XTEST requests.
// There is nothing to grant from inside a session: asking checks again.
class XTestPastePermission final : public PastePermission
{
public:
    // Checks the display named in DISPLAY when displayName is empty.
    explicit XTestPastePermission(const QByteArray &displayName = {});
    ~XTestPastePermission() override;

    bool isGranted() override;
    bool request() override;
    QString missingExplanation() const override;

private:
    QByteArray m_displayName;
    std::unique_ptr<XcbConnection> m_connection;
};
