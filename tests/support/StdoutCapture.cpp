#include "support/StdoutCapture.h"

#include <cstdio>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    if (!m_file.open())
        return;
    m_savedFd = ::dup(STDOUT_FILENO);
    if (m_savedFd >= 0)
        ::dup2(m_file.handle(), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    if (m_savedFd >= 0) {
        ::dup2(m_savedFd, STDOUT_FILENO);
        ::close(m_savedFd);
    }
}

QByteArray StdoutCapture::text()
{
    std::fflush(stdout);
    QFile reader(m_file.fileName());
    if (!reader.open(QIODevice::ReadOnly))
        return {};
    return reader.readAll();
}
