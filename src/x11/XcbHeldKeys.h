#pragma once

#include <xcb/xcb.h>

#include <bitset>

// The keys the X server sees held down right now, one bit per keycode (one
// round trip). None when the server does not answer.
std::bitset<256> queryHeldKeys(xcb_connection_t *connection);
