#pragma once

#include <xcb/xcb_keysyms.h>

#include <memory>

// Owns a keysym table from xcb_key_symbols_alloc().
struct XcbKeySymbolsFree
{
    void operator()(xcb_key_symbols_t *symbols) const noexcept { xcb_key_symbols_free(symbols); }
};

using XcbKeySymbols = std::unique_ptr<xcb_key_symbols_t, XcbKeySymbolsFree>;
