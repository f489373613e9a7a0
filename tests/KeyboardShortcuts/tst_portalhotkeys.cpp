#include "KeyboardShortcuts/KeyboardShortcuts.h"
#include "KeyboardShortcuts/wayland/PortalHotKeyBackend.h"
#include "support/PrivateSettings.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace KeyboardShortcuts;

struct BoundShortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(BoundShortcut)

QDBusArgument &operator<<(QDBusArgument &argument, const BoundShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, BoundShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

} // namespace

// The GlobalShortcuts interface of a desktop portal, as far as Halvex uses
// it: sessions, binding, and the Response of each request, answered as a
// portal does, on the request object named by the caller's token.
class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    explicit FakePortal(QDBusConnection connection)
        : m_connection(connection)
    { }
    uint version() const { return 1; }

    QList<QList<BoundShortcut>> bindings; // one list per BindShortcuts
    bool refuse = false;

public Q_SLOTS:
    Q_SCRIPTABLE QDBusObjectPath CreateSession(const QVariantMap &options)
    {
        const QString session = portalPath + QStringLiteral("/session/") + sender() + u'/'
            + options.value(QStringLiteral("session_handle_token")).toString();
        return respond(options, {{QStringLiteral("session_handle"), session}});
    }

    Q_SCRIPTABLE QDBusObjectPath BindShortcuts(const QDBusObjectPath &session,
                                               const QList<BoundShortcut> &shortcuts, const QString &,
                                               const QVariantMap &options)
    {
        Q_UNUSED(session)
        bindings.append(shortcuts);
        QList<BoundShortcut> bound = shortcuts;
        for (BoundShortcut &shortcut : bound)
            shortcut.properties.insert(QStringLiteral("trigger_description"),
                                       shortcut.properties.value(QStringLiteral("preferred_trigger")));
        return respond(options, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }

private:
    QString sender() const { return message().service().mid(1).replace(u'.', u'_'); }

    // The request handle, answered after the call returned.
    QDBusObjectPath respond(const QVariantMap &options, const QVariantMap &results)
    {
        const QString request = portalPath + QStringLiteral("/request/") + sender() + u'/'
            + options.value(QStringLiteral("handle_token")).toString();
        const uint response = refuse ? 1 : 0;
        QTimer::singleShot(0, this, [this, request, response, results] {
            QDBusMessage signal = QDBusMessage::createSignal(
                request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            signal << response << results;
            m_connection.send(signal);
        });
        return QDBusObjectPath(request);
    }

    QDBusConnection m_connection;
};

// Global hotkeys through the GlobalShortcuts portal, against a fake portal
// on a private session bus.
class TestPortalHotKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qDBusRegisterMetaType<BoundShortcut>();
        qDBusRegisterMetaType<QList<BoundShortcut>>();
        QVERIFY(m_settings.isValid());
        m_bus.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QVERIFY2(m_bus.waitForStarted(), "dbus-daemon did not start");
        QByteArray address;
        QTRY_VERIFY_WITH_TIMEOUT((address += m_bus.readAllStandardOutput()).contains('\n'), 10000);
        address = address.trimmed();
        // Before the first use of the session bus in this process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        m_portalConnection
            = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("portal"));
        QVERIFY(m_portalConnection->isConnected());
        m_portal = std::make_unique<FakePortal>(*m_portalConnection);
        m_portalThread.start();
        m_portal->moveToThread(&m_portalThread);
        QVERIFY(m_portalConnection->registerObject(portalPath, m_portal.get(),
                                                   QDBusConnection::ExportScriptableSlots
                                                       | QDBusConnection::ExportAllProperties));
        QVERIFY(m_portalConnection->registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    void init()
    {
        resetState();
        setShortcut(std::nullopt, Name::togglePanel());
        reset({Name::togglePanel()}); // back to the default, Shift+Super+V
        m_portal->bindings.clear();
        m_portal->refuse = false;
    }

    void cleanupTestCase()
    {
        resetState();
        m_portalThread.quit();
        m_portalThread.wait();
        m_portal.reset();
        m_bus.kill();
        m_bus.waitForFinished();
    }

    // The name is bound with its description and shortcut; activations of our
    // session and id only are reported; a change binds again in a new
    // session; a refused session is reported and binds nothing.
    void bindsReportsAndBindsAgain()
    {
        const Name name = Name::togglePanel(); // stored default: Shift+Super+V
        PortalHotKeyBackend backend(
            std::map<QString, QString> {{name.rawValue(), QStringLiteral("Show the panel")}});
        QSignalSpy finished(&backend, &PortalHotKeyBackend::bindingFinished);
        QSignalSpy pressed(&backend, &HotKeyBackend::hotKeyPressed);
        QSignalSpy released(&backend, &HotKeyBackend::hotKeyReleased);
        QCOMPARE(backend.registerHotKey(7, *getShortcut(name)), 0);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        const BoundShortcut bound = m_portal->bindings.value(0).value(0);
        QCOMPARE(bound.id, name.rawValue());
        QCOMPARE(bound.properties.value(QStringLiteral("description")).toString(),
                 QStringLiteral("Show the panel"));
        QCOMPARE(bound.properties.value(QStringLiteral("preferred_trigger")).toString(),
                 QStringLiteral("SHIFT+LOGO+v"));
        const QString first = backend.sessionHandle();

        emitPortalSignal(QStringLiteral("Activated"), first, name.rawValue());
        QTRY_COMPARE(pressed.count(), 1);
        QCOMPARE(pressed.at(0).at(0).toUInt(), 7u);
        emitPortalSignal(QStringLiteral("Deactivated"), first, name.rawValue());
        QTRY_COMPARE(released.count(), 1);
        emitPortalSignal(QStringLiteral("Activated"), portalPath + QStringLiteral("/session/other/x"),
                         name.rawValue());
        emitPortalSignal(QStringLiteral("Activated"), first, QStringLiteral("somethingElse"));

        // What the hotkey layer does when the user records Ctrl+K.
        const Shortcut ctrlK(40, 0x100);
        setShortcut(ctrlK, name);
        backend.unregisterHotKey(7);
        backend.registerHotKey(8, ctrlK);
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(m_portal->bindings.size(), 2);
        QVERIFY(backend.sessionHandle() != first);
        emitPortalSignal(QStringLiteral("Activated"), first, name.rawValue());
        emitPortalSignal(QStringLiteral("Activated"), backend.sessionHandle(), name.rawValue());
        QTRY_COMPARE(pressed.count(), 2);
        QCOMPARE(pressed.at(1).at(0).toUInt(), 8u);

        m_portal->refuse = true;
        backend.unregisterHotKey(8);
        backend.registerHotKey(9, ctrlK);
        QTRY_COMPARE(finished.count(), 3);
        QCOMPARE(finished.at(2).at(0).toBool(), false);
        QCOMPARE(m_portal->bindings.size(), 2);
        // Every activation above has arrived by now: none but ours counted.
        QCOMPARE(pressed.count(), 2);
    }

    // Last: it takes the portal off the bus for a moment.
    void availableOnlyWhereThePortalAnswers()
    {
        QVERIFY(PortalHotKeyBackend::isAvailable());
        m_portalConnection->unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        QVERIFY(!PortalHotKeyBackend::isAvailable());
        QVERIFY(m_portalConnection->registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

private:
    void emitPortalSignal(const QString &name, const QString &session, const QString &id);

    QProcess m_bus;
    PrivateSettings m_settings;
    // The portal answers from a thread of its own, as if it were another
    // process: the availability check blocks the caller.
    QThread m_portalThread;
    std::unique_ptr<FakePortal> m_portal;
    std::optional<QDBusConnection> m_portalConnection;
};

void TestPortalHotKeys::emitPortalSignal(const QString &name, const QString &session, const QString &id)
{
    QDBusMessage signal = QDBusMessage::createSignal(portalPath, shortcutsInterface, name);
    signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
    m_portalConnection->send(signal);
}

QTEST_MAIN(TestPortalHotKeys)
#include "tst_portalhotkeys.moc"
