#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

struct wl_display;
struct wl_interface;
struct wl_registry;

// A private connection to the Wayland compositor, closed on destruction,
// with the globals the compositor announced while it was made. The clipboard
// worker and the paste keystroke each use one of these rather than Qt's
// connection, which Qt's own event loop dispatches.
class WaylandConnection
{
public:
    struct Global
    {
        uint32_t name = 0;
        QByteArray interface;
        uint32_t version = 0;
    };

    // Connects to the compositor named in WAYLAND_DISPLAY when displayName is
    // empty (a name in XDG_RUNTIME_DIR, or an absolute path).
    explicit WaylandConnection(const QByteArray &displayName = {});
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    // Connected, and the compositor has reported no error on it.
    bool isValid() const;
    wl_display *display() const { return m_display; }
    int fileDescriptor() const;

    const QList<Global> &globals() const { return m_globals; }
    // The version of the first global of that interface; 0 when there is none.
    uint32_t version(const QByteArray &interface) const;

    // Binds the first global named globalName (interface's own name when
    // empty) with interface, at the lower of the offered version and
    // maxVersion. Null when there is no such global.
    void *bind(const wl_interface *interface, uint32_t maxVersion, const QByteArray &globalName = {}) const;

    // Sends what is queued and waits until the compositor has handled it and
    // the events it sent back are dispatched. False once the connection broke.
    bool roundtrip();

private:
    static void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
                         uint32_t version);
    static void onGlobalRemove(void *data, wl_registry *registry, uint32_t name);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    QList<Global> m_globals;
};
