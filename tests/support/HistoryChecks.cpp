#include "support/HistoryChecks.h"

#include "clipboard/ClipboardManager.h"
#include "clipboard/PasteboardProvider.h"
#include "support/TestTools.h"

#include <QImage>
#include <QTest>

namespace HistoryChecks {

QStringList texts(const ClipboardManager &manager)
{
    QStringList result;
    for (const ClipboardItem &item : manager.copiedItems())
        result.append(item.text().value_or(QStringLiteral("<image>")));
    return result;
}

void verifyTextAndPngCaptured(const ClipboardManager &manager, const CopyFunction &copy,
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

void verifyOwnWriteServedNotCaptured(const ClipboardManager &manager, const PasteboardProvider &provider,
                                     const CopyFunction &copy,
                                     const std::function<bool(const ClipboardItem &)> &paste,
                                     const std::function<QByteArray(const QString &)> &read,
                                     const QStringList &textTypes, int timeoutMs)
{
    const QByteArray png = filledPng({40, 20}, QColor(200, 10, 99, 128));
    QVERIFY(copy(png, QStringLiteral("image/png")));
    QTRY_VERIFY_WITH_TIMEOUT(manager.copiedItems().value(0).image().has_value(), timeoutMs);
    const QString text = QStringLiteral("pasted back \u00e9");
    for (const ClipboardItem &item : {ClipboardItem::fromText(text), manager.copiedItems().constFirst()}) {
        QVERIFY(copy("outside", textTypes.constFirst()));
        QTRY_COMPARE_WITH_TIMEOUT(texts(manager).value(0), QStringLiteral("outside"), timeoutMs);
        const qint64 countBefore = provider.changeCount();
        QVERIFY(paste(item));
        QVERIFY(provider.changeCount() != countBefore);
        QCOMPARE(manager.lastChangeCount(), provider.changeCount());
        // The owner's very PNG bytes, not a new encoding.
        const QStringList types = item.image() ? QStringList {QStringLiteral("image/png")} : textTypes;
        const QByteArray expected = item.image() ? png : text.toUtf8();
        QTRY_COMPARE_WITH_TIMEOUT(read(types.constFirst()), expected, timeoutMs);
        for (const QString &type : types + types)
            QCOMPARE(read(type), expected);

        QVERIFY(copy("after", textTypes.constFirst()));
        QTRY_COMPARE_WITH_TIMEOUT(texts(manager).value(0), QStringLiteral("after"), timeoutMs);
        QCOMPARE(texts(manager).value(1), QStringLiteral("outside"));
    }
}

} // namespace HistoryChecks
