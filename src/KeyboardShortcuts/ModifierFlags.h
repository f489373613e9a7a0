#pragma once

#include <QtGlobal>
#include <qnamespace.h>

namespace KeyboardShortcuts {

// Carbon modifier bits, the form in which shortcuts are stored.
namespace CarbonModifier {
inline constexpr int command = 0x0100;
inline constexpr int shift = 0x0200;
inline constexpr int alphaLock = 0x0400; // Caps Lock; never part of a shortcut
inline constexpr int option = 0x0800;
inline constexpr int control = 0x1000;
inline constexpr int function = 0x20000;
// The five bits a shortcut can carry; every other bit is dropped when a mask
// is normalised.
inline constexpr int all = command | shift | option | control | function;
} // namespace CarbonModifier

// Cocoa event modifier flags (NSEvent.ModifierFlags). Kept for the rules that
// are phrased in them (the option-only rule of Shortcut::isDisallowed) and so
// that values coming from macOS data can be converted.
namespace CocoaModifier {
inline constexpr quint64 capsLock = 0x10000;
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 numericPad = 0x200000;
inline constexpr quint64 help = 0x400000;
inline constexpr quint64 function = 0x800000;
} // namespace CocoaModifier

// Carbon mask -> Cocoa flags; only the five shortcut modifiers survive.
quint64 cocoaFlagsFromCarbon(int carbonModifiers);
// Cocoa flags -> Carbon mask; only the five shortcut modifiers survive.
int carbonFromCocoaFlags(quint64 cocoaFlags);
// Keeps exactly the five shortcut bits of a Carbon mask.
int normalizedCarbonModifiers(int carbonModifiers);

// Carbon mask <-> Qt modifiers, with Qt's cross-platform convention:
// command = Qt::ControlModifier, control = Qt::MetaModifier,
// option = Qt::AltModifier, shift = Qt::ShiftModifier. Qt has no function
// modifier, so that bit is dropped going to Qt; Qt's keypad and group-switch
// modifiers are dropped going to Carbon.
Qt::KeyboardModifiers qtModifiersFromCarbon(int carbonModifiers);
int carbonFromQtModifiers(Qt::KeyboardModifiers modifiers);

} // namespace KeyboardShortcuts
