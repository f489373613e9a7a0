// The history store on the real X11 services: the X11 clipboard provider,
// the XTest paste chord and Tesseract, with real clients (xclip, a Qt text
// field) on the other end.

#include "PasteTarget.h"
#include "RenderedText.h"
#include "clipboard/ClipboardManager.h"
#include "clipboard/tesseract/TesseractTextRecognizer.h"
#include "clipboard/x11/X11PasteboardProvider.h"
#include "clipboard/x11/XTestPasteSimulator.h"
#include "support/HistoryChecks.h"
#include "support/TestTools.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

// Generous: recognising a picture under the sanitizers on a busy machine took
// over 30 s.
constexpr int deadlineMs = 90000;

void copyWithXclip(const QByteArray &data, const QString &type = {})
{
    QStringList args = {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")};
    if (!type.isEmpty())
        args << QStringLiteral("-t") << type;
    QVERIFY(runTool(QStringLiteral("xclip"), args, data).ok());
}

// Passes recognition on to Tesseract and tells when a result was produced.
class ObservedRecognizer final : public TextRecognizer
{
public:
    std::optional<QString> recognize(const QImage &image) override
    {
        std::optional<QString> text = m_tesseract.recognize(image);
        m_producedText = m_producedText || text.has_value();
        ++m_finished;
        return text;
    }
    int finished() const { return m_finished; }
    bool producedText() const { return m_producedText; }

private:
    TesseractTextRecognizer m_tesseract;
    std::atomic_int m_finished = 0;
    std::atomic_bool m_producedText = false;
};

const QStringList imageLines = {
    QStringLiteral("Meeting notes for Tuesday"),
    QStringLiteral("Room 4 at half past nine"),
    QStringLiteral("Bring the quarterly report"),
};

QByteArray linesAsPng()
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    RenderedText::renderLines(imageLines, 22, Qt::black, Qt::white).save(&buffer, "PNG");
    return png;
}

} // namespace

class ClipboardPasteTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void pastedEntryReachesTheFocusedWindowAndIsNotRecaptured_data();
    void pastedEntryReachesTheFocusedWindowAndIsNotRecaptured();
    void copiedPngGetsRecognisedText();
    void recognitionFinishingAfterClearChangesNothing();

private:
    QTemporaryDir m_dir;
};

void ClipboardPasteTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void ClipboardPasteTest::pastedEntryReachesTheFocusedWindowAndIsNotRecaptured_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("paste me, please");
    QTest::newRow("multi-line") << QStringLiteral("line one\nline two\nline three");
    QTest::newRow("greek") << QStringLiteral("Γειά σου Κόσμε");
}

void ClipboardPasteTest::pastedEntryReachesTheFocusedWindowAndIsNotRecaptured()
{
    QFETCH(QString, text);
    ClipboardManager manager(std::make_unique<X11PasteboardProvider>(),
                             std::make_unique<XTestPasteSimulator>(), nullptr);
    // History: [newer, text]; the entry to paste is not at the head.
    copyWithXclip(text.toUtf8());
    QTRY_COMPARE_WITH_TIMEOUT(HistoryChecks::texts(manager), QStringList {text}, deadlineMs);
    const QString newer = QStringLiteral("a newer entry");
    copyWithXclip(newer.toUtf8());
    QTRY_COMPARE_WITH_TIMEOUT(HistoryChecks::texts(manager), (QStringList {newer, text}), deadlineMs);
    const QList<ClipboardItem> before = manager.copiedItems();

    const QString output
        = m_dir.filePath(QStringLiteral("target-%1").arg(QString::fromLatin1(QTest::currentDataTag())));
    PasteTarget target(output);
    target.waitUntilFocused();
    if (QTest::currentTestFailed())
        return;

    manager.paste(before.at(1), true);
    QTRY_VERIFY2_WITH_TIMEOUT(target.text() == text, qPrintable(target.describe()), deadlineMs);

    // A later copy by someone else is captured; the paste in between was not.
    const QString later = QStringLiteral("copied after the paste");
    copyWithXclip(later.toUtf8());
    QTRY_COMPARE_WITH_TIMEOUT(HistoryChecks::texts(manager).value(0), later, deadlineMs);
    QCOMPARE(HistoryChecks::texts(manager), (QStringList {later, newer, text}));
    QCOMPARE(manager.copiedItems().at(2).id(), before.at(1).id());
}

void ClipboardPasteTest::copiedPngGetsRecognisedText()
{
    ClipboardManager manager(std::make_unique<X11PasteboardProvider>(),
                             std::make_unique<XTestPasteSimulator>(),
                             std::make_shared<TesseractTextRecognizer>());
    copyWithXclip(linesAsPng(), QStringLiteral("image/png"));
    QTRY_VERIFY_WITH_TIMEOUT(!manager.copiedItems().isEmpty(), deadlineMs);
    QVERIFY(manager.copiedItems().constFirst().image().has_value());
    QTRY_VERIFY_WITH_TIMEOUT(manager.copiedItems().constFirst().extractedText().has_value(), deadlineMs);
    RenderedText::verifyLines(manager.copiedItems().constFirst().extractedText(), imageLines);
}

void ClipboardPasteTest::recognitionFinishingAfterClearChangesNothing()
{
    auto recognizer = std::make_shared<ObservedRecognizer>();
    ClipboardManager manager(std::make_unique<X11PasteboardProvider>(),
                             std::make_unique<XTestPasteSimulator>(), recognizer);
    // Cleared as soon as the image entry appears: its recognition has been
    // started but cannot have been written back yet (that happens on this
    // thread, which is busy here).
    connect(manager.history(), &QAbstractItemModel::rowsInserted, &manager,
            [&manager] { manager.clearAll(); });
    QSignalSpy changed(manager.history(), &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(manager.history(), &QAbstractItemModel::rowsInserted);
    copyWithXclip(linesAsPng(), QStringLiteral("image/png"));
    QTRY_COMPARE_WITH_TIMEOUT(inserted.size(), 1, deadlineMs);
    QTRY_COMPARE_WITH_TIMEOUT(recognizer->finished(), 1, deadlineMs);
    QVERIFY(recognizer->producedText());
    // Let the queued write-back arrive.
    QTest::qWait(200);
    QCOMPARE(manager.copiedItems().size(), 0);
    QCOMPARE(changed.size(), 0);
}

QTEST_MAIN(ClipboardPasteTest)
#include "tst_clipboardpaste.moc"
