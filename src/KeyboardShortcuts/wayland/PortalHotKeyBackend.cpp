#include "KeyboardShortcuts/wayland/PortalHotKeyBackend.h"

#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/ShortcutsLogging.h"
#include "KeyboardShortcuts/wayland/ShortcutTriggerText.h"
#include "KeyboardShortcuts/x11/X11NativeKeyCodeMap.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace KeyboardShortcuts {

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

} // namespace KeyboardShortcuts

Q_DECLARE_METATYPE(KeyboardShortcuts::PortalShortcut)

namespace KeyboardShortcuts {

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// Where the portal will put the request object for a call with this token.
QString requestPath(const QString &token)
{
    QString sender = QDBusConnection::sessionBus().baseService();
    sender.remove(0, 1).replace(u'.', u'_');
    return portalPath + QStringLiteral("/request/") + sender + u'/' + token;
}

QString handleText(const QVariant &handle)
{
    // Object path or string, depending on the portal's version.
    if (handle.canConvert<QDBusObjectPath>())
        return handle.value<QDBusObjectPath>().path();
    return handle.toString();
}

} // namespace

PortalHotKeyBackend::PortalHotKeyBackend(std::map<QString, QString> descriptions, QObject *parent)
    : HotKeyBackend(parent)
    , m_descriptions(std::move(descriptions))
    , m_keyCodes(std::make_unique<X11NativeKeyCodeMap>())
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // The slots below are matched to the signals by their parameter types'
    // names, which resolve only once the types are registered.
    qRegisterMetaType<QDBusObjectPath>();
    // Matched by path and interface, not by the portal's bus name: a match on
    // the name holds nothing until the name's owner has been looked up,
    // which happens asynchronously. The session handle in each signal names
    // our own session.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool connected
        = bus.connect(QString(), portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                      SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)))
        && bus.connect(QString(), portalPath, shortcutsInterface, QStringLiteral("Deactivated"), this,
                       SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    if (!connected)
        qCWarning(lcShortcuts) << "cannot follow the desktop portal's shortcut activations:"
                               << bus.lastError().message();
}

PortalHotKeyBackend::~PortalHotKeyBackend()
{
    closeSession();
}

bool PortalHotKeyBackend::isAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    // The portal may be started on demand: give it a moment.
    return bus.call(get, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

int PortalHotKeyBackend::registerHotKey(quint32 id, const Shortcut &shortcut)
{
    m_hotKeys.insert_or_assign(id, shortcut);
    scheduleBind();
    return 0;
}

void PortalHotKeyBackend::unregisterHotKey(quint32 id)
{
    if (m_hotKeys.erase(id))
        scheduleBind();
}

const NativeKeyCodeMap &PortalHotKeyBackend::keyCodes() const
{
    return *m_keyCodes;
}

QString PortalHotKeyBackend::portalId(quint32 id) const
{
    const auto hotKey = m_hotKeys.find(id);
    if (hotKey != m_hotKeys.end()) {
        for (const auto &[name, description] : m_descriptions) {
            if (getShortcut(Name(name)) == hotKey->second)
                return name;
        }
    }
    return QStringLiteral("shortcut%1").arg(id);
}

void PortalHotKeyBackend::scheduleBind()
{
    if (m_busy) {
        m_dirty = true;
        return;
    }
    if (std::exchange(m_bindScheduled, true))
        return;
    // Registrations come in bursts (unregister, then register): bind once.
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        bind();
    });
}

void PortalHotKeyBackend::bind()
{
    // A portal session binds its shortcuts once: a change takes a new one.
    closeSession();
    if (m_hotKeys.empty())
        return;
    m_busy = true;
    createSession();
}

void PortalHotKeyBackend::callWithResponse(const QString &method, const QList<QVariant> &arguments,
                                           const QString &token,
                                           std::function<void(uint, const QVariantMap &)> onResponse)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString path = requestPath(token);
    // Listening before the call: the answer may come before the call returns.
    bus.connect(portalService, path, requestInterface, QStringLiteral("Response"), this,
                SLOT(onResponse(uint, QVariantMap)));
    m_pending[path] = std::move(onResponse);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (!finished->isError())
                    return;
                qCWarning(lcShortcuts)
                    << "the desktop portal refused the global shortcut:" << finished->error().message();
                const auto handler = m_pending.find(path);
                if (handler != m_pending.end()) {
                    auto onResponse = std::move(handler->second);
                    m_pending.erase(handler);
                    onResponse(2, {});
                }
            });
}

void PortalHotKeyBackend::onResponse(uint response, const QVariantMap &results)
{
    const QDBusMessage message = QDBusContext::message();
    const auto handler = m_pending.find(message.path());
    if (handler == m_pending.end())
        return;
    auto onResponse = std::move(handler->second);
    m_pending.erase(handler);
    QDBusConnection::sessionBus().disconnect(portalService, message.path(), requestInterface,
                                             QStringLiteral("Response"), this,
                                             SLOT(onResponse(uint, QVariantMap)));
    onResponse(response, results);
}

void PortalHotKeyBackend::createSession()
{
    const QString token = QStringLiteral("halvex%1").arg(++m_requestCount);
    const QVariantMap options
        = {{QStringLiteral("handle_token"), token},
           {QStringLiteral("session_handle_token"), QStringLiteral("halvex_session%1").arg(m_requestCount)}};
    callWithResponse(
        QStringLiteral("CreateSession"), {options}, token, [this](uint response, const QVariantMap &results) {
            if (response != 0) {
                qCWarning(lcShortcuts) << "the desktop portal did not open a global-shortcut session";
                m_busy = false;
                Q_EMIT bindingFinished(false);
                return;
            }
            m_session = handleText(results.value(QStringLiteral("session_handle")));
            bindShortcuts();
        });
}

void PortalHotKeyBackend::bindShortcuts()
{
    QList<PortalShortcut> shortcuts;
    for (const auto &[id, shortcut] : m_hotKeys) {
        const QString name = portalId(id);
        const auto description = m_descriptions.find(name);
        shortcuts.append(
            {name,
             {{QStringLiteral("description"),
               description != m_descriptions.end() ? description->second : name},
              {QStringLiteral("preferred_trigger"), ShortcutTriggerText::portalTrigger(shortcut)}}});
    }
    const QString token = QStringLiteral("halvex%1").arg(++m_requestCount);
    callWithResponse(
        QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString(),
         QVariantMap {{QStringLiteral("handle_token"), token}}},
        token, [this](uint response, const QVariantMap &results) {
            m_busy = false;
            const bool bound = response == 0;
            if (bound) {
                const auto list
                    = qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts")));
                for (const PortalShortcut &shortcut : list)
                    qCInfo(lcShortcuts)
                        << "global shortcut" << shortcut.id << "bound to"
                        << shortcut.properties.value(QStringLiteral("trigger_description")).toString();
            } else {
                qCWarning(lcShortcuts)
                    << "the desktop did not bind the global shortcut (answer" << response << ")";
            }
            Q_EMIT bindingFinished(bound);
            if (std::exchange(m_dirty, false))
                scheduleBind();
        });
}

void PortalHotKeyBackend::closeSession()
{
    if (m_session.isEmpty())
        return;
    QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(portalService, m_session, sessionInterface, QStringLiteral("Close")));
    m_session.clear();
}

void PortalHotKeyBackend::onActivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong,
                                      const QVariantMap &)
{
    if (session.path() != m_session)
        return;
    for (const auto &[id, shortcut] : m_hotKeys) {
        if (portalId(id) == shortcutId)
            Q_EMIT hotKeyPressed(id);
    }
}

void PortalHotKeyBackend::onDeactivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong,
                                        const QVariantMap &)
{
    if (session.path() != m_session)
        return;
    for (const auto &[id, shortcut] : m_hotKeys) {
        if (portalId(id) == shortcutId)
            Q_EMIT hotKeyReleased(id);
    }
}

} // namespace KeyboardShortcuts
