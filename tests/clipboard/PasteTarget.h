#pragma once

// Drives the paste_target test client (paste_target.cpp) from a test.

#include "support/TestTools.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

class PasteTarget
{
public:
    static constexpr int deadlineMs = 20000;

    // Starts the client writing to output; call waitUntilFocused() next.
    explicit PasteTarget(const QString &output)
        : m_output(output)
        , m_title(QStringLiteral("paste target ") + QFileInfo(output).fileName())
        , m_process(startTool(testHelperPath(QStringLiteral("paste_target")), {output, m_title}))
    { }

    ~PasteTarget()
    {
        m_process->kill();
        m_process->waitForFinished(5000);
    }

    // Until the text field has Qt's focus and the X input focus is on this
    // very window (not on one that is going away).
    void waitUntilFocused() const
    {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_output + QStringLiteral(".focused")), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(focusedWindowName(), m_title, deadlineMs);
    }

    QString text() const { return QString::fromUtf8(readAll(m_output)); }

    // The non-modifier key chords the field received, e.g. "Ctrl+V".
    QStringList keys() const
    {
        return QString::fromUtf8(readAll(m_output + QStringLiteral(".keys")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // For failure messages: what the target got and who has the focus.
    QString describe() const
    {
        return QStringLiteral("text \"%1\", keys [%2], focus on \"%3\"")
            .arg(text(), keys().join(QLatin1Char(',')), focusedWindowName());
    }

    static QString focusedWindowName()
    {
        return QString::fromUtf8(runTool(QStringLiteral("xdotool"),
                                         {QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")})
                                     .standardOutput.trimmed());
    }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString m_output;
    QString m_title;
    std::unique_ptr<QProcess> m_process;
};
