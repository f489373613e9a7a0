#!/usr/bin/python3
"""A GTK 3 text window as the application the user works in.

    gtk_paste_target.py <output-file> [window-title]

The same contract as the Qt paste_target: writes the text to <output-file> on
every change, appends every non-modifier key press it sees ("Ctrl+V", "A", ...)
to <output-file>.keys and creates <output-file>.focused once the text view has
the keyboard focus. GTK stamps _NET_WM_USER_TIME on every key and click, as
real applications do, which is what focus-stealing prevention compares.
"""
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

MODIFIER_KEYS = {"Shift_L", "Shift_R", "Control_L", "Control_R", "Alt_L", "Alt_R", "Meta_L", "Meta_R",
                 "Super_L", "Super_R", "ISO_Level3_Shift"}


def write_atomically(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def key_name(event):
    name = Gdk.keyval_name(Gdk.keyval_to_upper(event.keyval)) or str(event.keyval)
    parts = []
    if event.state & Gdk.ModifierType.CONTROL_MASK:
        parts.append("Ctrl")
    if event.state & Gdk.ModifierType.MOD1_MASK:
        parts.append("Alt")
    if event.state & Gdk.ModifierType.SHIFT_MASK and len(name) > 1:
        parts.append("Shift")
    return "+".join(parts + [name])


def main():
    if len(sys.argv) < 2:
        return 2
    output = sys.argv[1]
    title = sys.argv[2] if len(sys.argv) > 2 else "paste target"
    write_atomically(output, b"")
    keys = open(output + ".keys", "w")

    window = Gtk.Window(title=title)
    window.set_default_size(400, 300)
    window.connect("destroy", Gtk.main_quit)
    view = Gtk.TextView()
    window.add(view)
    buffer = view.get_buffer()

    def changed(_buffer):
        start, end = buffer.get_bounds()
        write_atomically(output, buffer.get_text(start, end, True).encode())

    def key_pressed(_widget, event):
        if Gdk.keyval_name(event.keyval) not in MODIFIER_KEYS:
            keys.write(key_name(event) + "\n")
            keys.flush()
        return False

    def focused(_widget, _event):
        write_atomically(output + ".focused", b"1")
        return False

    buffer.connect("changed", changed)
    view.connect("key-press-event", key_pressed)
    view.connect("focus-in-event", focused)
    window.show_all()
    view.grab_focus()
    window.present()
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main())
