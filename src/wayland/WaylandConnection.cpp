#include "wayland/WaylandConnection.h"

#include <wayland-client.h>

WaylandConnection::WaylandConnection(const QByteArray &displayName)
{
    m_display = wl_display_connect(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display);
    static const wl_registry_listener listener = {
        .global = &WaylandConnection::onGlobal,
        .global_remove = &WaylandConnection::onGlobalRemove,
    };
    wl_registry_add_listener(m_registry, &listener, this);
    roundtrip();
}

WaylandConnection::~WaylandConnection()
{
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

bool WaylandConnection::isValid() const
{
    return m_display && wl_display_get_error(m_display) == 0;
}

int WaylandConnection::fileDescriptor() const
{
    return m_display ? wl_display_get_fd(m_display) : -1;
}

uint32_t WaylandConnection::version(const QByteArray &interface) const
{
    for (const Global &global : m_globals) {
        if (global.interface == interface)
            return global.version;
    }
    return 0;
}

void *WaylandConnection::bind(const wl_interface *interface, uint32_t maxVersion,
                              const QByteArray &globalName) const
{
    const QByteArray name = globalName.isEmpty() ? QByteArray(interface->name) : globalName;
    for (const Global &global : m_globals) {
        if (global.interface == name)
            return wl_registry_bind(m_registry, global.name, interface, qMin(global.version, maxVersion));
    }
    return nullptr;
}

bool WaylandConnection::roundtrip()
{
    return isValid() && wl_display_roundtrip(m_display) >= 0;
}

void WaylandConnection::onGlobal(void *data, wl_registry *, uint32_t name, const char *interface,
                                 uint32_t version)
{
    static_cast<WaylandConnection *>(data)->m_globals.append({name, QByteArray(interface), version});
}

void WaylandConnection::onGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    auto *self = static_cast<WaylandConnection *>(data);
    self->m_globals.removeIf([name](const Global &global) { return global.name == name; });
}
