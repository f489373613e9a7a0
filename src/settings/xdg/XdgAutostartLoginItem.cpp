#include "settings/xdg/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Exec= takes a command line: an argument with anything but plain path
// characters is double-quoted, with ", `, $ and \ escaped inside the quotes.
// The value itself is a string value, so every backslash is escaped again,
// and a literal % is written %%.
QString quotedExecArgument(const QString &argument)
{
    bool plain = !argument.isEmpty();
    for (const QChar c : argument) {
        if (!(c.isLetterOrNumber() || c == u'/' || c == u'.' || c == u'_' || c == u'-' || c == u'+')) {
            plain = false;
            break;
        }
    }
    QString result;
    if (plain) {
        result = argument;
    } else {
        result += u'"';
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                result += u'\\';
            result += c;
        }
        result += u'"';
    }
    result.replace(u'\\', QStringLiteral("\\\\"));
    result.replace(u'%', QStringLiteral("%%"));
    return result;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(const QString &configHome, const QString &executable)
    : m_entryPath(QDir(configHome).filePath(QStringLiteral("autostart/halvex.desktop")))
    , m_executable(executable)
{ }

QString XdgAutostartLoginItem::defaultConfigHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QByteArray XdgAutostartLoginItem::entryContents(const QString &executable)
{
    QByteArray text = "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Halvex\n"
                      "Comment=Keyboard-first clipboard history\n";
    text += "Exec=" + quotedExecArgument(executable).toUtf8() + '\n';
    text += "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool XdgAutostartLoginItem::isEnabled() const
{
    QFile file(m_entryPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Only the main group counts; an entry far larger than any real one is
    // read no further than its first megabyte.
    const QByteArray contents = file.read(1 << 20);
    bool inMainGroup = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed() == "Hidden" && line.mid(eq + 1).trimmed() == "true")
            return false;
    }
    return true;
}

std::optional<QString> XdgAutostartLoginItem::registerItem()
{
    const QString directory = QFileInfo(m_entryPath).absolutePath();
    if (!QDir().mkpath(directory))
        return QStringLiteral("Cannot create the directory %1").arg(directory);
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2").arg(m_entryPath, file.errorString());
    file.write(entryContents(m_executable));
    if (!file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(m_entryPath, file.errorString());
    return std::nullopt;
}

std::optional<QString> XdgAutostartLoginItem::unregisterItem()
{
    // Nothing to remove is success: the application is not started at login.
    if (!QFileInfo(m_entryPath).isFile() && !QFileInfo(m_entryPath).isSymLink())
        return std::nullopt;
    QFile file(m_entryPath);
    if (!file.remove())
        return QStringLiteral("Cannot remove %1: %2").arg(m_entryPath, file.errorString());
    return std::nullopt;
}
