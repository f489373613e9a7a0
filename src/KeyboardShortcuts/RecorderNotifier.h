#pragma once

#include <QObject>

namespace KeyboardShortcuts {

// Announces when a shortcut recorder starts (true) and stops (false)
// recording. There is one of these per process: recorderNotifier().
class RecorderNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void recorderActiveStatusDidChange(bool isActive);
};

RecorderNotifier &recorderNotifier();

} // namespace KeyboardShortcuts
