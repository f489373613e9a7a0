#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a session logout, Ctrl+C, a closed
// terminal) into a signal on the GUI thread, so that the application can quit
// the way its Quit button does: the instance socket is removed, the global
// grabs and the clipboard are released. The handler only writes the signal's
// number into a pipe; everything else happens in the event loop.
//
// Each handler fires once: a second signal of the same kind while the
// application is still busy quitting ends the process the default way.
// One instance at a time; it restores the default handlers when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isValid() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    int m_readFd = -1;
    int m_writeFd = -1;
    unsigned m_installed = 0; // bit n: the handler of signal n is ours
    std::unique_ptr<QSocketNotifier> m_notifier;
};
