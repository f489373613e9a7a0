#include "fakes/FakeRecorderHost.h"

using namespace KeyboardShortcuts;

void FakeRecorderHost::blur()
{
    log << QStringLiteral("blur");
    if (focused) {
        focused = false;
        if (controller)
            controller->endRecording();
    }
}

void FakeRecorderHost::focus()
{
    log << QStringLiteral("focus");
    click();
}

bool FakeRecorderHost::click()
{
    if (focused || !controller)
        return focused;
    focused = controller->beginRecording();
    return focused;
}

int FakeRecorderHost::runAlert(const RecorderAlert &alert)
{
    QString entry = QStringLiteral("alert:") + alert.messageKey;
    if (!alert.messageArgument.isEmpty())
        entry += u':' + alert.messageArgument;
    log << entry;
    alerts << alert;
    if (duringAlert)
        duringAlert();
    return alertResponse;
}

QString FakeRecorderHost::displayText(const Shortcut &shortcut) const
{
    return QStringLiteral("key%1+%2").arg(shortcut.carbonKeyCode()).arg(shortcut.carbonModifiers());
}
