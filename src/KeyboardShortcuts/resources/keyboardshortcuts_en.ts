<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>KeyboardShortcuts</name>
    <message>
        <source>record_shortcut</source>
        <translation>Record Shortcut</translation>
    </message>
    <message>
        <source>unreadable_shortcut</source>
        <translation>Unreadable: Record</translation>
    </message>
    <message>
        <source>unreadable_shortcut_help</source>
        <translation>The stored shortcut could not be read, so the hotkey is off. Click here and press a new shortcut.</translation>
    </message>
    <message>
        <source>press_shortcut</source>
        <translation>Press Shortcut</translation>
    </message>
    <message>
        <source>space_key</source>
        <translation>space</translation>
    </message>
    <message>
        <source>keyboard_shortcut_used_by_menu_item</source>
        <translation>This keyboard shortcut cannot be used because the “%1” menu item already uses it.</translation>
    </message>
    <message>
        <source>keyboard_shortcut_disallowed</source>
        <translation>This keyboard shortcut cannot be used: the system does not allow Option alone as its modifier.</translation>
    </message>
    <message>
        <source>keyboard_shortcut_used_by_system</source>
        <translation>This keyboard shortcut is already taken by the system or by another application.</translation>
    </message>
    <message>
        <source>keyboard_shortcuts_can_be_changed</source>
        <translation>Most system-wide shortcuts can be changed in the keyboard settings of your desktop.</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>force_use_shortcut</source>
        <translation>Use Anyway</translation>
    </message>
</context>
</TS>
