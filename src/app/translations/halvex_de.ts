<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>ClipboardItemRow</name>
    <message>
        <location filename="../../views/ClipboardItemRow.cpp" line="80"/>
        <source>Image</source>
        <translation>Bild</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <location filename="../../views/ContentView.cpp" line="123"/>
        <source>Halvex</source>
        <translation>Halvex</translation>
    </message>
    <message>
        <location filename="../../views/ContentView.cpp" line="134"/>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <location filename="../../views/ContentView.cpp" line="135"/>
        <source>Quit Halvex</source>
        <translation>Halvex beenden</translation>
    </message>
    <message>
        <location filename="../../views/ContentView.cpp" line="156"/>
        <source>No clips yet</source>
        <translation>Noch nichts kopiert</translation>
    </message>
    <message>
        <location filename="../../views/ContentView.cpp" line="176"/>
        <source>Clear All</source>
        <translation>Alle löschen</translation>
    </message>
</context>
<context>
    <name>HalvexApp</name>
    <message>
        <location filename="../HalvexApp.cpp" line="33"/>
        <source>Keyboard-first clipboard history. Runs in the background with an icon in the system tray;
Shift+Super+V (by default) opens the quick-paste panel. Launching it again while it runs toggles
the panel of the running instance.</source>
        <translation>Tastaturorientierter Zwischenablage-Verlauf. Läuft im Hintergrund mit einem Symbol im Systembereich;
Umschalt+Super+V (Voreinstellung) öffnet das Schnelleinfüge-Fenster. Ein erneuter Start, während es läuft, blendet
das Fenster der laufenden Instanz ein oder aus.</translation>
    </message>
</context>
<context>
    <name>TrayEntry</name>
    <message>
        <location filename="../TrayEntry.cpp" line="34"/>
        <location filename="../TrayEntry.cpp" line="54"/>
        <source>Halvex</source>
        <translation>Halvex</translation>
    </message>
    <message>
        <location filename="../TrayEntry.cpp" line="49"/>
        <source>Show History</source>
        <translation>Verlauf anzeigen</translation>
    </message>
    <message>
        <location filename="../TrayEntry.cpp" line="50"/>
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <location filename="../TrayEntry.cpp" line="52"/>
        <source>Quit Halvex</source>
        <translation>Halvex beenden</translation>
    </message>
</context>
</TS>
