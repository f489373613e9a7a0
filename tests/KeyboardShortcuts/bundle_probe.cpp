// Looks for the shortcut texts' bundle in the directories given as
// arguments, as the subsystem does at its first localised lookup, and prints
// where it found it. With no candidate holding it the program must end with
// the subsystem's fatal message.
#include "KeyboardShortcuts/ResourceBundle.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList candidates = app.arguments();
    candidates.removeFirst();
    const QString bundle = KeyboardShortcuts::ResourceBundle::findOrDie(candidates);
    QTextStream(stdout) << bundle << Qt::endl;
    return 0;
}
