#include "app/TerminationSignals.h"

#include "app/AppLogging.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe, for the handler: a signal handler can reach
// nothing else. Set while a TerminationSignals exists.
volatile sig_atomic_t writeFd = -1;

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (writeFd >= 0) [[maybe_unused]]
        const ssize_t n = ::write(writeFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcApp) << "cannot watch for termination signals:" << std::strerror(errno);
        return;
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];
    writeFd = m_writeFd;
    m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int s : handledSignals) {
        // A signal the launcher chose to ignore (nohup) stays ignored.
        struct sigaction previous = {};
        if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        if (::sigaction(s, &action, nullptr) == 0)
            m_installed |= 1u << s;
    }
}

TerminationSignals::~TerminationSignals()
{
    for (const int s : handledSignals) {
        if (m_installed & (1u << s))
            ::signal(s, SIG_DFL);
    }
    writeFd = -1;
    m_notifier.reset();
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
}

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    while (::read(m_readFd, &byte, 1) == 1)
        Q_EMIT received(byte);
}
