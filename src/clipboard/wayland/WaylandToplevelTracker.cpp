#include "clipboard/wayland/WaylandToplevelTracker.h"

#include "wayland/WaylandConnection.h"
#include "wayland/protocols/wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

struct WaylandToplevelTracker::Listener
{
    static void toplevel(void *data, zwlr_foreign_toplevel_manager_v1 *,
                         zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto *self = static_cast<WaylandToplevelTracker *>(data);
        self->m_toplevels.emplace(handle, Toplevel {});
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &Listener::handle, self);
    }
    static void finished(void *data, zwlr_foreign_toplevel_manager_v1 *manager)
    {
        auto *self = static_cast<WaylandToplevelTracker *>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self->m_manager = nullptr;
    }

    static Toplevel *find(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto &toplevels = static_cast<WaylandToplevelTracker *>(data)->m_toplevels;
        const auto it = toplevels.find(handle);
        return it == toplevels.end() ? nullptr : &it->second;
    }
    static void title(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) { }
    static void appId(void *data, zwlr_foreign_toplevel_handle_v1 *handle, const char *appId)
    {
        if (Toplevel *toplevel = find(data, handle))
            toplevel->pendingAppId = QByteArray(appId);
    }
    static void outputEnter(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }
    static void outputLeave(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }
    static void state(void *data, zwlr_foreign_toplevel_handle_v1 *handle, wl_array *states)
    {
        Toplevel *toplevel = find(data, handle);
        if (!toplevel)
            return;
        toplevel->pendingActivated = false;
        const auto *values = static_cast<const uint32_t *>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                toplevel->pendingActivated = true;
        }
    }
    static void done(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        if (Toplevel *toplevel = find(data, handle)) {
            toplevel->appId = toplevel->pendingAppId;
            toplevel->activated = toplevel->pendingActivated;
        }
    }
    static void closed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        static_cast<WaylandToplevelTracker *>(data)->m_toplevels.erase(handle);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
    static void parent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) { }

    static constexpr zwlr_foreign_toplevel_manager_v1_listener manager = {toplevel, finished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handle
        = {title, appId, outputEnter, outputLeave, state, done, closed, parent};
};

WaylandToplevelTracker::WaylandToplevelTracker(WaylandConnection &connection)
{
    m_manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
        connection.bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &Listener::manager, this);
}

WaylandToplevelTracker::~WaylandToplevelTracker()
{
    for (const auto &[handle, toplevel] : m_toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
}

bool WaylandToplevelTracker::hasActivated() const
{
    for (const auto &[handle, toplevel] : m_toplevels) {
        if (toplevel.activated)
            return true;
    }
    return false;
}

QByteArray WaylandToplevelTracker::activatedAppId() const
{
    for (const auto &[handle, toplevel] : m_toplevels) {
        if (toplevel.activated)
            return toplevel.appId;
    }
    return {};
}
