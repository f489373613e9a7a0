// A target window for paste tests: one plain-text field that takes the focus.
//
//   paste_target <output-file> [window-title]
//
// Writes the field's text to <output-file> on every change, appends every
// non-modifier key press it sees (as "Ctrl+V", "Ctrl+Shift+V", ...) to
// <output-file>.keys, and creates <output-file>.focused once the field has the
// keyboard focus.

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QSaveFile>

namespace {

class KeyRecorder : public QObject
{
public:
    explicit KeyRecorder(const QString &path, QObject *parent)
        : QObject(parent)
        , m_file(path)
    {
        m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event) : nullptr;
        if (key && !(key->key() >= Qt::Key_Shift && key->key() <= Qt::Key_Alt)
            && key->key() != Qt::Key_Super_L && key->key() != Qt::Key_Super_R) {
            m_file.write(QKeySequence(key->keyCombination()).toString().toUtf8() + '\n');
            m_file.flush();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QFile m_file;
};

void writeAtomically(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
        file.commit();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2)
        return 2;
    const QString output = args.at(1);
    writeAtomically(output, {});

    QPlainTextEdit edit;
    edit.setWindowTitle(args.value(2, QStringLiteral("paste target")));
    edit.resize(400, 300);
    edit.installEventFilter(new KeyRecorder(output + QStringLiteral(".keys"), &edit));
    QObject::connect(&edit, &QPlainTextEdit::textChanged,
                     [&] { writeAtomically(output, edit.toPlainText().toUtf8()); });
    QObject::connect(&app, &QApplication::focusChanged, [&](QWidget *, QWidget *now) {
        if (now == &edit)
            writeAtomically(output + QStringLiteral(".focused"), "1");
    });
    edit.show();
    edit.activateWindow();
    return app.exec();
}
