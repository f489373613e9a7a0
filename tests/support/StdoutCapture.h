#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Redirects the process's standard output (file descriptor 1) into a file
// while it lives, so a test can read the lines the code under test printed.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    // Everything written to standard output since construction.
    QByteArray text();

private:
    QTemporaryFile m_file;
    int m_savedFd = -1;
};
