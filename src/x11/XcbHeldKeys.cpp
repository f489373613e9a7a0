#include "x11/XcbHeldKeys.h"

#include "x11/XcbReply.h"

std::bitset<256> queryHeldKeys(xcb_connection_t *connection)
{
    std::bitset<256> held;
    const XcbReply<xcb_query_keymap_reply_t> reply(
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr));
    if (!reply)
        return held;
    for (size_t key = 0; key < held.size(); ++key)
        held[key] = reply->keys[key / 8] & (1u << (key % 8));
    return held;
}
