#include "KeyboardShortcuts/ModifierFlags.h"

#include <array>
#include <utility>

namespace KeyboardShortcuts {

namespace {

constexpr std::array<std::pair<int, quint64>, 5> carbonToCocoa {{
    {CarbonModifier::control, CocoaModifier::control},
    {CarbonModifier::option, CocoaModifier::option},
    {CarbonModifier::shift, CocoaModifier::shift},
    {CarbonModifier::command, CocoaModifier::command},
    {CarbonModifier::function, CocoaModifier::function},
}};

constexpr std::array<std::pair<int, Qt::KeyboardModifier>, 4> carbonToQt {{
    {CarbonModifier::command, Qt::ControlModifier},
    {CarbonModifier::control, Qt::MetaModifier},
    {CarbonModifier::option, Qt::AltModifier},
    {CarbonModifier::shift, Qt::ShiftModifier},
}};

} // namespace

quint64 cocoaFlagsFromCarbon(int carbonModifiers)
{
    quint64 flags = 0;
    for (const auto &[carbon, cocoa] : carbonToCocoa) {
        if (carbonModifiers & carbon)
            flags |= cocoa;
    }
    return flags;
}

int carbonFromCocoaFlags(quint64 cocoaFlags)
{
    int carbonModifiers = 0;
    for (const auto &[carbon, cocoa] : carbonToCocoa) {
        if (cocoaFlags & cocoa)
            carbonModifiers |= carbon;
    }
    return carbonModifiers;
}

int normalizedCarbonModifiers(int carbonModifiers)
{
    return carbonFromCocoaFlags(cocoaFlagsFromCarbon(carbonModifiers));
}

Qt::KeyboardModifiers qtModifiersFromCarbon(int carbonModifiers)
{
    Qt::KeyboardModifiers modifiers;
    for (const auto &[carbon, qt] : carbonToQt) {
        if (carbonModifiers & carbon)
            modifiers |= qt;
    }
    return modifiers;
}

int carbonFromQtModifiers(Qt::KeyboardModifiers modifiers)
{
    int carbonModifiers = 0;
    for (const auto &[carbon, qt] : carbonToQt) {
        if (modifiers.testFlag(qt))
            carbonModifiers |= carbon;
    }
    return carbonModifiers;
}

} // namespace KeyboardShortcuts
