#include "app/TrayEntry.h"

#include <QTest>

// Where the history window opens for a tray at each screen edge.
class TestTrayPositions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowPosition_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QPoint>("expected");
        const QPoint none(-1, -1);
        // Screen 0,0 1280x800 minus nothing; window 320x300.
        QTest::newRow("tray top middle: below, centred") << QRect(628, 2, 24, 24) << none << QPoint(480, 30);
        QTest::newRow("tray bottom left: above, kept on screen")
            << QRect(4, 776, 24, 24) << none << QPoint(0, 472);
        QTest::newRow("tray on the left edge: to its right")
            << QRect(0, 388, 24, 24) << none << QPoint(28, 250);
        QTest::newRow("tray on the right edge: to its left")
            << QRect(1256, 388, 24, 24) << none << QPoint(932, 250);
        QTest::newRow("no tray geometry: below the pointer")
            << QRect() << QPoint(640, 100) << QPoint(480, 104);
        QTest::newRow("no tray geometry, pointer low: above it")
            << QRect() << QPoint(640, 790) << QPoint(480, 486);
    }

    void windowPosition()
    {
        QFETCH(QRect, anchor);
        QFETCH(QPoint, point);
        QFETCH(QPoint, expected);
        const QRect available(0, 0, 1280, 800);
        const QSize window(320, 300);
        const QPoint pos = TrayEntry::windowPosition(window, anchor, point, available);
        QCOMPARE(pos, expected);
        QVERIFY(available.contains(QRect(pos, window)));
        if (anchor.isValid())
            QVERIFY(!QRect(pos, window).intersects(anchor));
    }
};

QTEST_MAIN(TestTrayPositions)
#include "tst_traypositions.moc"
