#include "app/BackendSelection.h"

#include <QTest>

using Selection = BackendSelection;
Q_DECLARE_METATYPE(Selection::Clipboard)
Q_DECLARE_METATYPE(Selection::Paste)
Q_DECLARE_METATYPE(Selection::Shortcut)

namespace {

// What each desktop announced on Debian 12 (the globals that matter here).
const QByteArrayList sway = {"wl_seat",
                             "xdg_wm_base",
                             "zwlr_data_control_manager_v1",
                             "zwp_virtual_keyboard_manager_v1",
                             "zwlr_foreign_toplevel_manager_v1",
                             "xdg_activation_v1"};
const QByteArrayList kwin5 = {"wl_seat", "xdg_wm_base", "zwlr_data_control_manager_v1",
                              "org_kde_kwin_fake_input", "xdg_activation_v1"};
const QByteArrayList kwin6 = {"wl_seat", "xdg_wm_base", "ext_data_control_manager_v1",
                              "zwlr_data_control_manager_v1", "org_kde_kwin_fake_input"};
const QByteArrayList weston = {"wl_compositor", "xdg_wm_base", "wl_data_device_manager"};
const QByteArrayList mutter = {"wl_seat", "xdg_wm_base", "wl_data_device_manager", "xdg_activation_v1"};

QString str(const char *text)
{
    return QString::fromUtf8(text);
}

QStringList strs(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(str(text));
    return list;
}

} // namespace

// Which backend serves each service on each desktop, what --diagnose says
// about it, and what the user is told once at start.
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

        QTest::newRow("X11") << str("xcb") << str("XFCE") << QByteArrayList() << false << false
                             << Selection::Clipboard::X11 << Selection::Paste::XTest
                             << Selection::Shortcut::X11Grab
                             << strs({"platform: X11 (XFCE)", "paste: XTest", "shortcut: X11 key grab"})
                             << QString();
        QTest::newRow("sway") << str("wayland") << str("sway") << sway << false << true
                              << Selection::Clipboard::WlrDataControl << Selection::Paste::VirtualKeyboard
                              << Selection::Shortcut::CompositorBinding
                              << strs({"platform: Wayland (sway)", "clipboard: wlr data control",
                                       "paste: virtual keyboard",
                                       "shortcut: compositor binding (halvex --toggle)",
                                       "panel: xdg-shell toplevel (app_id halvex)"})
                              << QString();
        QTest::newRow("KWin 5.27") << str("wayland") << str("KDE") << kwin5 << true << true
                                   << Selection::Clipboard::WlrDataControl << Selection::Paste::FakeInput
                                   << Selection::Shortcut::Portal
                                   << strs({"paste: KDE fake input", "shortcut: GlobalShortcuts portal",
                                            "missing: focused window's app_id "
                                            "(zwlr_foreign_toplevel_manager_v1): terminals get Ctrl+V"})
                                   << QString();
        QTest::newRow("KWin 6") << str("wayland") << str("KDE") << kwin6 << true << true
                                << Selection::Clipboard::ExtDataControl << Selection::Paste::FakeInput
                                << Selection::Shortcut::Portal << strs({"clipboard: ext data control"})
                                << QString();
        QTest::newRow("weston") << str("wayland") << str("") << weston << false << true
                                << Selection::Clipboard::None << Selection::Paste::None
                                << Selection::Shortcut::CompositorBinding
                                << strs({"clipboard: none",
                                         "paste: none (copy only: paste with Ctrl+V yourself)",
                                         "missing: background clipboard access (ext_data_control_manager_v1 "
                                         "or zwlr_data_control_manager_v1)",
                                         "missing: paste keystroke (zwp_virtual_keyboard_manager_v1 or "
                                         "org_kde_kwin_fake_input)"})
                                << u"This session offers no background clipboard access"_qs;
        // GNOME: Halvex runs through XWayland where there is one.
        QTest::newRow("GNOME through XWayland")
            << str("xcb") << str("GNOME") << QByteArrayList() << false << true << Selection::Clipboard::X11
            << Selection::Paste::XTest << Selection::Shortcut::X11Grab
            << strs({"platform: X11 through XWayland (GNOME)",
                     "missing: background clipboard access for Wayland applications (only X11 applications "
                     "are seen)"})
            << u"GNOME offers no background clipboard access to Wayland applications"_qs;
        QTest::newRow("GNOME without XWayland")
            << str("wayland") << str("ubuntu:GNOME") << mutter << false << true << Selection::Clipboard::None
            << Selection::Paste::None << Selection::Shortcut::CompositorBinding << strs({"clipboard: none"})
            << u"GNOME offers no background clipboard access, and there is no XWayland"_qs;
    }

    void choice()
    {
        QFETCH(QString, platform);
        QFETCH(QString, desktop);
        QFETCH(QByteArrayList, globals);
        QFETCH(bool, portal);
        QFETCH(bool, waylandSession);
        QFETCH(Selection::Clipboard, clipboard);
        QFETCH(Selection::Paste, paste);
        QFETCH(Selection::Shortcut, shortcut);
        QFETCH(QStringList, lines);
        QFETCH(QString, warning);

        const Selection::Session session {platform, desktop, globals, portal, waylandSession};
        const Selection choice = Selection::choose(session);
        QCOMPARE(choice.clipboard, clipboard);
        QCOMPARE(choice.paste, paste);
        QCOMPARE(choice.shortcut, shortcut);
        const QStringList described = choice.describe(session);
        for (const QString &line : lines)
            QVERIFY2(described.contains(line), qPrintable(described.join(u'\n')));
        // Nothing is reported missing where nothing is.
        if (platform == u"xcb" && !waylandSession)
            QVERIFY(!described.join(u'\n').contains(u"missing"));
        if (warning.isEmpty())
            QVERIFY2(choice.clipboardWarning(session).isEmpty(),
                     qPrintable(choice.clipboardWarning(session)));
        else
            QVERIFY2(choice.clipboardWarning(session).contains(warning),
                     qPrintable(choice.clipboardWarning(session)));
    }

    void prefersXWaylandOnlyWithoutDataControl()
    {
        QVERIFY(!Selection::prefersXWayland(sway));
        QVERIFY(!Selection::prefersXWayland(kwin6));
        QVERIFY(Selection::prefersXWayland(mutter));
        QVERIFY(Selection::prefersXWayland(weston));
    }
};

QTEST_APPLESS_MAIN(TestBackendSelection)
#include "tst_backendselection.moc"
