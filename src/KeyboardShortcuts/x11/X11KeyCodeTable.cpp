#include "KeyboardShortcuts/x11/X11KeyCodeTable.h"

#include <array>

namespace KeyboardShortcuts {

namespace {

// clang-format off
constexpr std::array<X11KeyCodePair, 114> table{{
    // letters
    {0, 38}, {1, 39}, {2, 40}, {3, 41}, {4, 43}, {5, 42}, {6, 52}, {7, 53}, {8, 54}, {9, 55},
    {11, 56}, {12, 24}, {13, 25}, {14, 26}, {15, 27}, {16, 29}, {17, 28}, {31, 32}, {32, 30},
    {34, 31}, {35, 33}, {37, 46}, {38, 44}, {40, 45}, {45, 57}, {46, 58},
    // digits 1 2 3 4 6 5 9 7 8 0
    {18, 10}, {19, 11}, {20, 12}, {21, 13}, {22, 15}, {23, 14}, {25, 18}, {26, 16}, {28, 17}, {29, 19},
    // punctuation and whitespace
    {24, 21},  // equal
    {27, 20},  // minus
    {30, 35},  // right bracket
    {33, 34},  // left bracket
    {36, 36},  // return
    {39, 48},  // quote
    {41, 47},  // semicolon
    {42, 51},  // backslash
    {43, 59},  // comma
    {44, 61},  // slash
    {47, 60},  // period
    {48, 23},  // tab
    {49, 65},  // space
    {50, 49},  // backtick (grave)
    {51, 22},  // delete (backspace)
    {53, 9},   // escape
    // modifier keys
    {54, 105}, // right command = Control_R
    {55, 37},  // command = Control_L
    {56, 50},  // shift
    {57, 66},  // caps lock
    {58, 64},  // option = Alt_L
    {59, 133}, // control = Super_L
    {60, 62},  // right shift
    {61, 108}, // right option = Alt_R
    {62, 134}, // right control = Super_R
    // media
    {72, 123}, // volume up
    {73, 122}, // volume down
    {74, 121}, // mute
    // keypad
    {65, 91},  // decimal
    {67, 63},  // multiply
    {69, 86},  // plus
    {71, 77},  // clear sits where Num Lock is
    {75, 106}, // divide
    {76, 104}, // enter
    {78, 82},  // minus
    {81, 125}, // equals
    {82, 90}, {83, 87}, {84, 88}, {85, 89}, {86, 83}, {87, 84}, {88, 85}, {89, 79}, {91, 80}, {92, 81},
    // function keys F1-F20
    {122, 67}, {120, 68}, {99, 69}, {118, 70}, {96, 71}, {97, 72}, {98, 73}, {100, 74}, {101, 75},
    {109, 76}, {103, 95}, {111, 96}, {105, 191}, {107, 192}, {113, 193}, {106, 194}, {64, 195},
    {79, 196}, {80, 197}, {90, 198},
    // navigation and editing
    {114, 118}, // help sits where Insert is
    {115, 110}, // home
    {116, 112}, // page up
    {117, 119}, // forward delete
    {119, 115}, // end
    {121, 117}, // page down
    {123, 113}, // left arrow
    {124, 114}, // right arrow
    {125, 116}, // down arrow
    {126, 111}, // up arrow
    // keys without a named constant
    {10, 94},   // ISO section key: the extra key of ISO PC keyboards (<>)
    {110, 135}, // context menu
}};
// clang-format on

} // namespace

std::span<const X11KeyCodePair> x11KeyCodeTable()
{
    return table;
}

std::optional<quint8> xKeyCodeFromCarbon(int carbonKeyCode)
{
    for (const X11KeyCodePair &pair : table) {
        if (pair.carbonKeyCode == carbonKeyCode)
            return pair.xKeyCode;
    }
    return std::nullopt;
}

std::optional<int> carbonKeyCodeFromX(quint32 xKeyCode)
{
    for (const X11KeyCodePair &pair : table) {
        if (pair.xKeyCode == xKeyCode)
            return pair.carbonKeyCode;
    }
    return std::nullopt;
}

} // namespace KeyboardShortcuts
