#pragma once

#include <QByteArray>

#include <map>

class WaylandConnection;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// Which toplevel window has the keyboard and its app_id, from wlroots'
// foreign-toplevel protocol on the given connection. The connection's owner
// dispatches its events; this object only listens.
class WaylandToplevelTracker
{
public:
    // Binds the compositor's toplevel list on connection, if it offers one.
    explicit WaylandToplevelTracker(WaylandConnection &connection);
    ~WaylandToplevelTracker();
    WaylandToplevelTracker(const WaylandToplevelTracker &) = delete;
    WaylandToplevelTracker &operator=(const WaylandToplevelTracker &) = delete;

    bool isAvailable() const { return m_manager != nullptr; }
    // Whether some toplevel is activated (has the keyboard) now, and its app_id.
    bool hasActivated() const;
    QByteArray activatedAppId() const;

private:
    struct Toplevel
    {
        QByteArray appId; // as last completed by a "done" event
        QByteArray pendingAppId;
        bool activated = false;
        bool pendingActivated = false;
    };
    struct Listener;

    zwlr_foreign_toplevel_manager_v1 *m_manager = nullptr;
    std::map<zwlr_foreign_toplevel_handle_v1 *, Toplevel> m_toplevels;
};
