#include "KeyboardShortcuts/TitleCase.h"

#include <QList>

namespace KeyboardShortcuts {

QString titleCased(const QString &text)
{
    QString result;
    result.reserve(text.size());
    bool atWordStart = true;
    const QList<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        char32_t mapped = c;
        if (QChar::isLetterOrNumber(c)) {
            mapped = atWordStart ? QChar::toTitleCase(char32_t(c)) : QChar::toLower(char32_t(c));
            atWordStart = false;
        } else {
            atWordStart = QChar::isSpace(c);
        }
        result.append(QString::fromUcs4(&mapped, 1));
    }
    return result;
}

char32_t firstCodePoint(const QString &text, qsizetype *length)
{
    if (text.isEmpty()) {
        if (length)
            *length = 0;
        return 0;
    }
    if (text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate()) {
        if (length)
            *length = 2;
        return QChar::surrogateToUcs4(text[0], text[1]);
    }
    if (length)
        *length = 1;
    return text[0].unicode();
}

} // namespace KeyboardShortcuts
