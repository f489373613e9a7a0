#include "support/StdoutCapture.h"

#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace StdoutCapture {

QByteArray during(const std::function<void()> &f)
{
    QTemporaryFile file;
    std::fflush(stdout);
    const int saved = file.open() ? ::dup(STDOUT_FILENO) : -1;
    if (saved < 0 || ::dup2(file.handle(), STDOUT_FILENO) < 0) {
        f();
        return QByteArrayLiteral("(standard output could not be captured)");
    }
    f();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    // Standard output shared the file's offset: read from the start.
    file.seek(0);
    return file.readAll();
}

} // namespace StdoutCapture
