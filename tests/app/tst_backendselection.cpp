#include "app/BackendSelection.h"

#include <QTest>

using Selection = BackendSelection;
Q_DECLARE_METATYPE(Selection::Clipboard)
Q_DECLARE_METATYPE(Selection::Paste)
Q_DECLARE_METATYPE(Selection::Shortcut)

// Which backend serves each service on each desktop (the Wayland globals each
// announced on Debian 12), what --diagnose says about it, and what the user
// is told once at start.
class TestBackendSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choice_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QByteArrayList>("globals");
        QTest::addColumn<bool>("portal");
        QTest::addColumn<bool>("waylandSession");
        QTest::addColumn<Selection::Clipboard>("clipboard");
        QTest::addColumn<Selection::Paste>("paste");
        QTest::addColumn<Selection::Shortcut>("shortcut");
        QTest::addColumn<QStringList>("lines"); // among what --diagnose prints
        QTest::addColumn<QString>("warning"); // part of the one warning; empty: none
        QTest::addColumn<bool>("prefersXWayland");
        using C = Selection::Clipboard;
        using P = Selection::Paste;
        using S = Selection::Shortcut;

        QTest::newRow("X11") << u"xcb"_qs << u"XFCE"_qs << QByteArrayList() << false << false << C::X11
                             << P::XTest << S::X11Grab << QStringList {u"platform: X11 (XFCE)"_qs}
                             << QString() << false;
        QTest::newRow("KWin 5.27")
            << u"wayland"_qs << u"KDE"_qs
            << QByteArrayList {"wl_seat", "xdg_wm_base", "zwlr_data_control_manager_v1",
                               "org_kde_kwin_fake_input", "xdg_activation_v1"}
            << true << true << C::WlrDataControl << P::FakeInput << S::Portal
            << QStringList {u"missing: focused window's app_id "
                            "(zwlr_foreign_toplevel_manager_v1): terminals get Ctrl+V"_qs}
            << QString() << false;
        QTest::newRow("KWin 6") << u"wayland"_qs << u"KDE"_qs
                                << QByteArrayList {"wl_seat", "xdg_wm_base", "ext_data_control_manager_v1",
                                                   "zwlr_data_control_manager_v1", "org_kde_kwin_fake_input"}
                                << true << true << C::ExtDataControl << P::FakeInput << S::Portal
                                << QStringList() << QString() << false;
        // sway and weston are run for real: tst_quickpaste_wayland, tst_weston_degrade.
        // GNOME: Halvex runs through XWayland where there is one.
        QTest::newRow("GNOME through XWayland")
            << u"xcb"_qs << u"GNOME"_qs << QByteArrayList() << false << true << C::X11 << P::XTest
            << S::X11Grab
            << QStringList {u"platform: X11 through XWayland (GNOME)"_qs,
                            u"missing: background clipboard access for Wayland applications (only X11 "
                            "applications are seen)"_qs}
            << u"GNOME offers no background clipboard access to Wayland applications"_qs << false;
        QTest::newRow("GNOME without XWayland")
            << u"wayland"_qs << u"ubuntu:GNOME"_qs
            << QByteArrayList {"wl_seat", "xdg_wm_base", "wl_data_device_manager", "xdg_activation_v1"}
            << false << true << C::None << P::None << S::CompositorBinding << QStringList()
            << u"GNOME offers no background clipboard access, and there is no XWayland"_qs << true;
    }

    void choice()
    {
        QFETCH(QString, platform);
        QFETCH(QString, desktop);
        QFETCH(QByteArrayList, globals);
        QFETCH(bool, portal);
        QFETCH(QString, warning);
        QFETCH(bool, waylandSession);
        const Selection::Session session {platform, desktop, globals, portal, waylandSession};
        const Selection choice = Selection::choose(session);
        QTEST(choice.clipboard, "clipboard");
        QTEST(choice.paste, "paste");
        QTEST(choice.shortcut, "shortcut");
        const QStringList described = choice.describe(session);
        QFETCH(QStringList, lines);
        for (const QString &line : lines)
            QVERIFY2(described.contains(line), qPrintable(described.join(u'\n')));
        // Nothing is reported missing where nothing is.
        if (!waylandSession)
            QVERIFY(!described.join(u'\n').contains(u"missing"));
        const QString told = choice.clipboardWarning(session);
        QVERIFY2(warning.isEmpty() ? told.isEmpty() : told.contains(warning), qPrintable(told));
        if (!globals.isEmpty())
            QTEST(Selection::prefersXWayland(globals), "prefersXWayland");
    }
};

QTEST_APPLESS_MAIN(TestBackendSelection)
#include "tst_backendselection.moc"
