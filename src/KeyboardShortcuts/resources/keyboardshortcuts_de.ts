<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>KeyboardShortcuts</name>
    <message>
        <source>record_shortcut</source>
        <translation>Kurzbefehl aufnehmen</translation>
    </message>
    <message>
        <source>unreadable_shortcut</source>
        <translation>Unlesbar: aufnehmen</translation>
    </message>
    <message>
        <source>unreadable_shortcut_help</source>
        <translation>Der gespeicherte Kurzbefehl ist nicht lesbar, daher ist er aus. Hier klicken und einen neuen Kurzbefehl drücken.</translation>
    </message>
    <message>
        <source>press_shortcut</source>
        <translation>Kurzbefehl drücken</translation>
    </message>
    <message>
        <source>space_key</source>
        <translation>leertaste</translation>
    </message>
    <message>
        <source>keyboard_shortcut_used_by_menu_item</source>
        <translation>Dieser Kurzbefehl kann nicht verwendet werden, weil der Menüeintrag „%1“ ihn bereits verwendet.</translation>
    </message>
    <message>
        <source>keyboard_shortcut_disallowed</source>
        <translation>Dieser Kurzbefehl kann nicht verwendet werden: Das System erlaubt die Wahltaste nicht als einzige Sondertaste.</translation>
    </message>
    <message>
        <source>keyboard_shortcut_used_by_system</source>
        <translation>Dieser Kurzbefehl ist bereits vom System oder von einem anderen Programm belegt.</translation>
    </message>
    <message>
        <source>keyboard_shortcuts_can_be_changed</source>
        <translation>Die meisten systemweiten Kurzbefehle lassen sich in den Tastatureinstellungen der Arbeitsumgebung ändern.</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>force_use_shortcut</source>
        <translation>Trotzdem verwenden</translation>
    </message>
</context>
</TS>
