#pragma once

#include <QByteArray>

#include <functional>

namespace StdoutCapture {

// What f writes to the process's standard output (file descriptor 1), which
// goes into a file while f runs.
QByteArray during(const std::function<void()> &f);

} // namespace StdoutCapture
