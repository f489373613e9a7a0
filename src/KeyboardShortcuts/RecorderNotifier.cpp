#include "KeyboardShortcuts/RecorderNotifier.h"

namespace KeyboardShortcuts {

RecorderNotifier &recorderNotifier()
{
    static RecorderNotifier notifier;
    return notifier;
}

} // namespace KeyboardShortcuts
