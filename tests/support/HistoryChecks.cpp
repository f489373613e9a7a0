#include "support/HistoryChecks.h"

#include "clipboard/ClipboardManager.h"
#include "support/TestTools.h"

#include <QTest>

namespace HistoryChecks {

QStringList texts(const ClipboardManager &manager)
{
    QStringList result;
    for (const ClipboardItem &item : manager.copiedItems())
        result.append(item.text().value_or(QStringLiteral("<image>")));
    return result;
}

void verifyTextAndPngCaptured(const ClipboardManager &manager,
                              const std::function<bool(const QByteArray &, const QString &)> &copy,
                              const QString &textType, int timeoutMs)
{
    const QString text = QStringLiteral("  caf\u00e9 \u2603 with blanks\n");
    QVERIFY(copy(text.toUtf8(), textType));
    QTRY_COMPARE_WITH_TIMEOUT(texts(manager), QStringList {text}, timeoutMs);

    QVERIFY(copy(filledPng({64, 32}, QColor(10, 200, 30)), QStringLiteral("image/png")));
    QTRY_COMPARE_WITH_TIMEOUT(manager.copiedItems().size(), 2, timeoutMs);
    const ClipboardItem &head = manager.copiedItems().constFirst();
    QVERIFY(head.image());
    QCOMPARE(head.image()->size(), QSize(64, 32));
    QCOMPARE(head.image()->pixelColor(5, 5), QColor(10, 200, 30));

    // The same text again moves the older entry to the head.
    QVERIFY(copy(text.toUtf8(), textType));
    QTRY_COMPARE_WITH_TIMEOUT(texts(manager), (QStringList {text, QStringLiteral("<image>")}), timeoutMs);
}

} // namespace HistoryChecks
