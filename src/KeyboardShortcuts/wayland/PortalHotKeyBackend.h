#pragma once

#include "KeyboardShortcuts/HotKeyBackend.h"
#include "KeyboardShortcuts/Name.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <map>
#include <memory>

namespace KeyboardShortcuts {

// Global hotkeys through the desktop portal's GlobalShortcuts interface
// (xdg-desktop-portal over the session bus), where Wayland desktops such as
// KDE Plasma offer them. Each registered shortcut is bound under the name it
// is stored under (e.g. "togglePanel"), with the stored combination as the
// preferred trigger; the desktop may let the user confirm or change it, so
// the binding is asynchronous: a registration always succeeds here, and a
// refusal by the portal is logged. A change re-binds all of them in a new
// portal session.
class PortalHotKeyBackend final : public HotKeyBackend, protected QDBusContext
{
    Q_OBJECT
public:
    // names: those whose shortcuts may be registered, with a description the
    // desktop shows next to them.
    explicit PortalHotKeyBackend(std::map<QString, QString> descriptions = {}, QObject *parent = nullptr);
    ~PortalHotKeyBackend() override;

    // Whether the session bus has a portal that implements GlobalShortcuts.
    static bool isAvailable();

    int registerHotKey(quint32 id, const Shortcut &shortcut) override;
    void unregisterHotKey(quint32 id) override;
    const NativeKeyCodeMap &keyCodes() const override;

    // The portal session the shortcuts are bound in; empty until it exists.
    QString sessionHandle() const { return m_session; }

Q_SIGNALS:
    // The portal answered a binding: bound or not.
    void bindingFinished(bool bound);

private:
    void scheduleBind();
    void bind();
    void createSession();
    void bindShortcuts();
    void closeSession();
    QString portalId(quint32 id) const;
    // Calls method and hands the Response of its request to onResponse.
    void callWithResponse(const QString &method, const QList<QVariant> &arguments, const QString &token,
                          std::function<void(uint, const QVariantMap &)> onResponse);
    Q_SLOT void onActivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong timestamp,
                            const QVariantMap &options);
    Q_SLOT void onDeactivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong timestamp,
                              const QVariantMap &options);
    Q_SLOT void onResponse(uint response, const QVariantMap &results);

    std::map<QString, QString> m_descriptions;
    std::map<quint32, Shortcut> m_hotKeys;
    std::unique_ptr<NativeKeyCodeMap> m_keyCodes;
    QString m_session;
    bool m_bindScheduled = false;
    bool m_busy = false;
    bool m_dirty = false;
    quint32 m_requestCount = 0;
    std::map<QString, std::function<void(uint, const QVariantMap &)>> m_pending;
};

} // namespace KeyboardShortcuts
