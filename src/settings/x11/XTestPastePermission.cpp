#include "settings/x11/XTestPastePermission.h"

#include "settings/SettingsLogging.h"
#include "x11/XcbConnection.h"
#include "x11/XcbReply.h"

#include <QCoreApplication>

#include <xcb/xtest.h>

#include <cstring>

XTestPastePermission::XTestPastePermission(const QByteArray &displayName)
    : m_displayName(displayName)
{ }

XTestPastePermission::~XTestPastePermission() = default;

bool XTestPastePermission::isGranted()
{
    // A connection that broke (server restarted, display gone) is replaced,
    // so the answer always reflects the server as it is now.
    if (!m_connection || !m_connection->isValid())
        m_connection = std::make_unique<XcbConnection>(m_displayName);
    if (!m_connection->isValid()) {
        qCDebug(lcSettings) << "no X connection to check XTEST on";
        return false;
    }
    xcb_connection_t *c = m_connection->get();
    static const char name[] = "XTEST";
    XcbReply<xcb_query_extension_reply_t> extension(
        xcb_query_extension_reply(c, xcb_query_extension(c, uint16_t(std::strlen(name)), name), nullptr));
    if (!extension || !extension->present)
        return false;
    XcbReply<xcb_test_get_version_reply_t> version(
        xcb_test_get_version_reply(c, xcb_test_get_version(c, 2, 2), nullptr));
    return bool(version);
}

bool XTestPastePermission::request()
{
    return isGranted();
}

QString XTestPastePermission::missingExplanation() const
{
    return QCoreApplication::translate(
        "XTestPastePermission",
        "The X server does not offer the XTEST extension, which pasting into other apps needs. "
        "Enable XTEST in the X server's configuration and restart the session.");
}
