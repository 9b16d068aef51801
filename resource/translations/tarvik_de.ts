<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>tarvik::CommandLine</name>
    <message>
        <source>Usage: tarvik [--scan] [FOLDER...]

Finds the files with identical content below the folders you choose, in a window.

  FOLDER...      start on the new search page with these folders instead of
                 the remembered ones; a folder that does not exist is named
                 and left out
  --scan         start scanning the folders at once
  -h, --help     show this help
  -v, --version  show the version

Without a folder the window opens on its first page, offering the last search.
Size limits, exclusions and hidden files are options of the new search page;
tarvik-scan scans without a window and takes them as flags (tarvik-scan --help).
</source>
        <translation>Aufruf: tarvik [--scan] [ORDNER...]

Findet in einem Fenster die Dateien mit gleichem Inhalt in den gewählten Ordnern.

  ORDNER...      mit diesen Ordnern statt der gemerkten auf der Seite der neuen
                 Suche beginnen; ein Ordner, den es nicht gibt, wird genannt
                 und ausgelassen
  --scan         die Suche in den Ordnern sofort starten
  -h, --help     diese Hilfe zeigen
  -v, --version  die Version zeigen

Ohne Ordner öffnet sich das Fenster auf seiner ersten Seite mit der letzten Suche.
Größengrenzen, Ausschlüsse und versteckte Dateien sind Optionen der neuen Suche;
tarvik-scan sucht ohne Fenster und nimmt sie als Schalter (tarvik-scan --help).
</translation>
    </message>
    <message>
        <source>--scan needs a folder</source>
        <translation>--scan braucht einen Ordner</translation>
    </message>
    <message numerus="yes">
        <source>Left out, as no such folder exists:</source>
        <translation>
            <numerusform>Ausgelassen, da es diesen Ordner nicht gibt:</numerusform>
            <numerusform>Ausgelassen, da es diese Ordner nicht gibt:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::DigestCache</name>
    <message>
        <source>not a digest cache</source>
        <translation>kein Prüfsummen-Cache</translation>
    </message>
    <message>
        <source>made by another version or machine</source>
        <translation>von einer anderen Version oder Maschine angelegt</translation>
    </message>
    <message>
        <source>cut short</source>
        <translation>abgeschnitten</translation>
    </message>
    <message>
        <source>damaged</source>
        <translation>beschädigt</translation>
    </message>
    <message>
        <source>the digest cache could not be used (%1); it is made anew</source>
        <translation>der Prüfsummen-Cache konnte nicht verwendet werden (%1); er wird neu angelegt</translation>
    </message>
    <message>
        <source>the digest cache could not be written (%1)</source>
        <translation>der Prüfsummen-Cache konnte nicht geschrieben werden (%1)</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>kein Speicher mehr frei</translation>
    </message>
    <message>
        <source>its journal could not be kept</source>
        <translation>sein Journal konnte nicht geführt werden</translation>
    </message>
    <message>
        <source>the digest cache cannot be kept in %1</source>
        <translation>der Prüfsummen-Cache kann nicht in %1 abgelegt werden</translation>
    </message>
    <message>
        <source>the digest cache is in use by another scan; it is left as it is</source>
        <translation>der Prüfsummen-Cache wird von einer anderen Suche verwendet; er bleibt, wie er ist</translation>
    </message>
</context>
<context>
    <name>tarvik::DuplicateFinderThread</name>
    <message>
        <source>out of memory</source>
        <translation>kein Speicher mehr frei</translation>
    </message>
    <message>
        <source>unknown error</source>
        <translation>unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>tarvik::LauncherWidget</name>
    <message>
        <source> Add Folder </source>
        <translation> Ordner hinzufügen </translation>
    </message>
    <message>
        <source>Last Search</source>
        <translation>Letzte Suche</translation>
    </message>
    <message>
        <source>© 2026 Tarvik. All rights reserved.</source>
        <translation>© 2026 Tarvik. Alle Rechte vorbehalten.</translation>
    </message>
</context>
<context>
    <name>tarvik::LinkMarkedMenu</name>
    <message>
        <source>Share Storage...</source>
        <translation>Speicher teilen...</translation>
    </message>
    <message>
        <source>Replace with Hard Links...</source>
        <translation>Durch harte Links ersetzen...</translation>
    </message>
</context>
<context>
    <name>tarvik::LinkMarkedOperation</name>
    <message>
        <source>Share Storage of Marked Files</source>
        <translation>Speicher markierter Dateien teilen</translation>
    </message>
    <message>
        <source>Replace Marked Files with Hard Links</source>
        <translation>Markierte Dateien durch harte Links ersetzen</translation>
    </message>
    <message numerus="yes">
        <source>Make %Ln marked file(s) (%1) share their storage with a kept copy?</source>
        <translation>
            <numerusform>%Ln markierte Datei (%1) ihren Speicher mit einer bleibenden Kopie teilen lassen?</numerusform>
            <numerusform>%Ln markierte Dateien (%1) ihren Speicher mit einer bleibenden Kopie teilen lassen?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Replace %Ln marked file(s) (%1) with hard links to a kept copy?</source>
        <translation>
            <numerusform>%Ln markierte Datei (%1) durch einen harten Link auf eine bleibende Kopie ersetzen?</numerusform>
            <numerusform>%Ln markierte Dateien (%1) durch harte Links auf eine bleibende Kopie ersetzen?</numerusform>
        </translation>
    </message>
    <message>
        <source>The file system compares the bytes itself and shares only what is equal. Each file keeps its path, owner, permissions and times, and stays a file of its own: a later change to one does not touch the other. A marked file takes part only if it is unchanged since the scan and a copy that stays is present as it was. Where the file system cannot share storage (ext4, another volume), the file stays as it was.</source>
        <translation>Das Dateisystem vergleicht die Bytes selbst und teilt nur, was gleich ist. Jede Datei behält ihren Pfad, ihren Eigentümer, ihre Rechte und Zeiten und bleibt eine eigene Datei: Eine spätere Änderung an der einen berührt die andere nicht. Eine markierte Datei nimmt nur teil, wenn sie seit der Suche unverändert ist und eine bleibende Kopie so vorhanden ist, wie sie war. Wo das Dateisystem keinen Speicher teilen kann (ext4, ein anderer Datenträger), bleibt die Datei, wie sie war.</translation>
    </message>
    <message>
        <source>Each marked file&apos;s name then leads to its kept copy: the two names are one file. A change made through one name shows through the other, and the owner, permissions and times become the kept copy&apos;s. A marked file is replaced only if it is unchanged since the scan and a copy that stays, on the same file system, is present and equal to it now; its path never goes missing.</source>
        <translation>Der Name jeder markierten Datei führt dann zu ihrer bleibenden Kopie: Die beiden Namen sind eine Datei. Eine Änderung über den einen Namen zeigt sich über den anderen, und Eigentümer, Rechte und Zeiten werden die der bleibenden Kopie. Eine markierte Datei wird nur ersetzt, wenn sie seit der Suche unverändert ist und eine bleibende Kopie im selben Dateisystem vorhanden und ihr jetzt gleich ist; ihr Pfad fehlt dabei nie.</translation>
    </message>
    <message>
        <source>Share Storage</source>
        <translation>Speicher teilen</translation>
    </message>
    <message>
        <source>Replace with Hard Links</source>
        <translation>Durch harte Links ersetzen</translation>
    </message>
    <message numerus="yes">
        <source>In %Ln group(s) every file is marked: with no copy that stays to share with, their files stay as they are.</source>
        <translation>
            <numerusform>In %Ln Gruppe ist jede Datei markiert: Ohne bleibende Kopie, mit der sie teilen könnten, bleiben ihre Dateien, wie sie sind.</numerusform>
            <numerusform>In %Ln Gruppen ist jede Datei markiert: Ohne bleibende Kopie, mit der sie teilen könnten, bleiben ihre Dateien, wie sie sind.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>In %Ln group(s) every file is marked: with no copy that stays to link to, their files stay as they are.</source>
        <translation>
            <numerusform>In %Ln Gruppe ist jede Datei markiert: Ohne bleibende Kopie, auf die sie verweisen könnten, bleiben ihre Dateien, wie sie sind.</numerusform>
            <numerusform>In %Ln Gruppen ist jede Datei markiert: Ohne bleibende Kopie, auf die sie verweisen könnten, bleiben ihre Dateien, wie sie sind.</numerusform>
        </translation>
    </message>
    <message>
        <source>Sharing the storage of marked files...</source>
        <translation>Der Speicher markierter Dateien wird geteilt...</translation>
    </message>
    <message>
        <source>Replacing marked files with hard links...</source>
        <translation>Markierte Dateien werden durch harte Links ersetzt...</translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s) (%1) now share storage with a kept copy.</source>
        <translation>
            <numerusform>%Ln Datei (%1) teilt jetzt Speicher mit einer bleibenden Kopie.</numerusform>
            <numerusform>%Ln Dateien (%1) teilen jetzt Speicher mit einer bleibenden Kopie.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s) (%1) are now hard links to a kept copy.</source>
        <translation>
            <numerusform>%Ln Datei (%1) ist jetzt ein harter Link auf eine bleibende Kopie.</numerusform>
            <numerusform>%Ln Dateien (%1) sind jetzt harte Links auf eine bleibende Kopie.</numerusform>
        </translation>
    </message>
    <message>
        <source>changed since the scan</source>
        <translation>seit der Suche geändert</translation>
    </message>
    <message>
        <source>no kept copy present</source>
        <translation>keine bleibende Kopie vorhanden</translation>
    </message>
    <message>
        <source>the kept copy differs now</source>
        <translation>die bleibende Kopie weicht jetzt ab</translation>
    </message>
    <message>
        <source>the kept copy is on another file system</source>
        <translation>die bleibende Kopie liegt in einem anderen Dateisystem</translation>
    </message>
    <message>
        <source>already one file with the kept copy</source>
        <translation>schon eine Datei mit der bleibenden Kopie</translation>
    </message>
    <message>
        <source>a symbolic link, not a file of its own</source>
        <translation>eine symbolische Verknüpfung, keine eigene Datei</translation>
    </message>
    <message>
        <source>the file system cannot share storage</source>
        <translation>das Dateisystem kann keinen Speicher teilen</translation>
    </message>
    <message>
        <source>the file system shared only part of it</source>
        <translation>das Dateisystem hat nur einen Teil davon geteilt</translation>
    </message>
    <message>
        <source>the file system refused it</source>
        <translation>das Dateisystem hat es abgelehnt</translation>
    </message>
</context>
<context>
    <name>tarvik::MainWindow</name>
    <message>
        <source>Tarvik Duplicate Finder</source>
        <translation>Tarvik Duplicate Finder</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
</context>
<context>
    <name>tarvik::MarkMenu</name>
    <message>
        <source>Mark All but the Oldest</source>
        <translation>Alle außer der ältesten markieren</translation>
    </message>
    <message>
        <source>Mark All but the Newest</source>
        <translation>Alle außer der neuesten markieren</translation>
    </message>
    <message>
        <source>Mark All but the First Found</source>
        <translation>Alle außer der zuerst gefundenen markieren</translation>
    </message>
    <message>
        <source>Mark All but the Shortest Path</source>
        <translation>Alle außer der mit dem kürzesten Pfad markieren</translation>
    </message>
    <message>
        <source>Mark Copies Outside a Folder...</source>
        <translation>Kopien außerhalb eines Ordners markieren...</translation>
    </message>
    <message>
        <source>Invert Marks</source>
        <translation>Markierungen umkehren</translation>
    </message>
    <message>
        <source>Clear Marks</source>
        <translation>Markierungen aufheben</translation>
    </message>
    <message>
        <source>Keep the Copies in Folder</source>
        <translation>Kopien in diesem Ordner behalten</translation>
    </message>
</context>
<context>
    <name>tarvik::MarkedFileRunner</name>
    <message>
        <source>No file is marked. Tick the files to go, or use Mark.</source>
        <translation>Keine Datei ist markiert. Haken Sie die Dateien an, die gehen sollen, oder nutzen Sie „Markieren“.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %Ln file(s) · %2 of %3</source>
        <translation>
            <numerusform>%1 von %Ln Datei · %2 von %3</numerusform>
            <numerusform>%1 von %Ln Dateien · %2 von %3</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln stayed: %1.</source>
        <translation>
            <numerusform>%Ln blieb: %1.</numerusform>
            <numerusform>%Ln blieben: %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>every copy of its group was marked</source>
        <translation>jede Kopie ihrer Gruppe war markiert</translation>
    </message>
    <message numerus="yes">
        <source>%Ln not attempted: cancelled.</source>
        <translation>
            <numerusform>%Ln nicht versucht: abgebrochen.</numerusform>
            <numerusform>%Ln nicht versucht: abgebrochen.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarvik::NewSearchWidget</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source> Start Scan </source>
        <translation> Suche starten </translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
</context>
<context>
    <name>tarvik::OutputTarget</name>
    <message>
        <source>Permission denied.</source>
        <translation>Zugriff verweigert.</translation>
    </message>
    <message>
        <source>It is a link to %1, which does not exist.</source>
        <translation>Es ist eine Verknüpfung auf %1, das es nicht gibt.</translation>
    </message>
    <message>
        <source>It is a folder.</source>
        <translation>Es ist ein Ordner.</translation>
    </message>
    <message>
        <source>It is a disk device: writing there would destroy what it holds.</source>
        <translation>Es ist ein Laufwerk: Dorthin zu schreiben würde zerstören, was darauf ist.</translation>
    </message>
    <message>
        <source>It is neither a file, nor a device, nor a named pipe.</source>
        <translation>Es ist weder eine Datei noch ein Gerät noch eine benannte Pipe.</translation>
    </message>
    <message>
        <source>Only a part was written; the reader may have left.</source>
        <translation>Nur ein Teil wurde geschrieben; das lesende Programm hat womöglich aufgehört.</translation>
    </message>
</context>
<context>
    <name>tarvik::ResultSaver</name>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>JSON (*.json)</source>
        <translation>JSON (*.json)</translation>
    </message>
    <message>
        <source>Text (*.txt)</source>
        <translation>Text (*.txt)</translation>
    </message>
    <message>
        <source>Save Results</source>
        <translation>Ergebnisse speichern</translation>
    </message>
    <message>
        <source>The results could not be saved to %1.</source>
        <translation>Die Ergebnisse konnten nicht in %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>tarvik::ResultTally</name>
    <message>
        <source>%1, %2, %3 reclaimable</source>
        <translation>%1, %2, %3 einsparbar</translation>
    </message>
    <message numerus="yes">
        <source>%Ln group(s)</source>
        <translation>
            <numerusform>%Ln Gruppe</numerusform>
            <numerusform>%Ln Gruppen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln duplicate file(s)</source>
        <translation>
            <numerusform>%Ln doppelte Datei</numerusform>
            <numerusform>%Ln doppelte Dateien</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> · %Ln marked (%1)</source>
        <translation>
            <numerusform> · %Ln markiert (%1)</numerusform>
            <numerusform> · %Ln markiert (%1)</numerusform>
        </translation>
    </message>
    <message>
        <source>Done in %1: </source>
        <translation>Fertig nach %1: </translation>
    </message>
    <message>
        <source>Stopped after %1: </source>
        <translation>Angehalten nach %1: </translation>
    </message>
    <message>
        <source>Failed after %1: %2: </source>
        <translation>Fehlgeschlagen nach %1: %2: </translation>
    </message>
    <message>
        <source>Listed %1 (%2) · compared %3 of %4 (%5 of %6) · found %7, %8 · %9</source>
        <translation>Gelistet: %1 (%2) · verglichen: %3 von %4 (%5 von %6) · gefunden: %7, %8 · %9</translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s)</source>
        <translation>
            <numerusform>%Ln Datei</numerusform>
            <numerusform>%Ln Dateien</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> · %1 of %Ln group(s) shown</source>
        <translation>
            <numerusform> · %1 von %Ln Gruppe gezeigt</numerusform>
            <numerusform> · %1 von %Ln Gruppen gezeigt</numerusform>
        </translation>
    </message>
    <message>
        <source> · %1 from the cache</source>
        <translation> · %1 aus dem Cache</translation>
    </message>
</context>
<context>
    <name>tarvik::ResultWidget</name>
    <message>
        <source>File: </source>
        <translation>Datei: </translation>
    </message>
    <message>
        <source>Size: </source>
        <translation>Größe: </translation>
    </message>
    <message>
        <source>Created: </source>
        <translation>Erstellt: </translation>
    </message>
    <message>
        <source>Modified: </source>
        <translation>Geändert: </translation>
    </message>
    <message>
        <source>Location: </source>
        <translation>Ort: </translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>Datei löschen</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Markieren</translation>
    </message>
    <message>
        <source>Trash Marked Files</source>
        <translation>Markierte Dateien in den Papierkorb</translation>
    </message>
    <message>
        <source>Save Results</source>
        <translation>Ergebnisse speichern</translation>
    </message>
    <message>
        <source>Stop Scan</source>
        <translation>Suche anhalten</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>Erstellt</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Duplicate group #</source>
        <translation>Duplikatgruppe #</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Storage: a hard link to a kept copy</source>
        <translation>Speicher: ein harter Link auf eine bleibende Kopie</translation>
    </message>
    <message>
        <source>Storage: shared with a kept copy</source>
        <translation>Speicher: mit einer bleibenden Kopie geteilt</translation>
    </message>
    <message>
        <source>Replace Marked Files</source>
        <translation>Markierte Dateien ersetzen</translation>
    </message>
    <message>
        <source>Sort</source>
        <translation>Sortieren</translation>
    </message>
    <message>
        <source>Filter by path</source>
        <translation>Nach Pfad filtern</translation>
    </message>
    <message>
        <source>saved to %1</source>
        <translation>gespeichert in %1</translation>
    </message>
</context>
<context>
    <name>tarvik::ScanCommand</name>
    <message>
        <source>unknown format &apos;%1&apos;: use text, csv or json</source>
        <translation>unbekanntes Format &apos;%1&apos;: text, csv oder json angeben</translation>
    </message>
    <message>
        <source>no folder given (see --help)</source>
        <translation>kein Ordner angegeben (siehe --help)</translation>
    </message>
    <message>
        <source>no such folder: &apos;%1&apos;</source>
        <translation>Ordner nicht vorhanden: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>not a folder: &apos;%1&apos;</source>
        <translation>kein Ordner: &apos;%1&apos;</translation>
    </message>
    <message numerus="yes">
        <source>; %n group(s)</source>
        <translation>
            <numerusform>; %n Gruppe</numerusform>
            <numerusform>; %n Gruppen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n duplicate(s)</source>
        <translation>
            <numerusform>, %n Duplikat</numerusform>
            <numerusform>, %n Duplikate</numerusform>
        </translation>
    </message>
    <message>
        <source>writing</source>
        <translation>Schreiben</translation>
    </message>
    <message numerus="yes">
        <source>listing: %n file(s), %1</source>
        <translation>
            <numerusform>Auflisten: %n Datei, %1</numerusform>
            <numerusform>Auflisten: %n Dateien, %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>comparing: %1 of %n file(s), %2 of %3</source>
        <translation>
            <numerusform>Vergleichen: %1 von %n Datei, %2 von %3</numerusform>
            <numerusform>Vergleichen: %1 von %n Dateien, %2 von %3</numerusform>
        </translation>
    </message>
    <message>
        <source>cannot write &apos;%1&apos;: %2</source>
        <translation>&apos;%1&apos; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>cannot start the scan&apos;s thread</source>
        <translation>der Thread der Suche kann nicht starten</translation>
    </message>
    <message>
        <source>--%1: &apos;%2&apos; is not a size (bytes, or a number with K, M or G: 500K, 20M, 1.5G)</source>
        <translation>--%1: &apos;%2&apos; ist keine Größe (Bytes oder eine Zahl mit K, M oder G: 500K, 20M, 1.5G)</translation>
    </message>
    <message>
        <source>--max-size: below --min-size, nothing would be scanned</source>
        <translation>--max-size: unter --min-size, es würde nichts durchsucht</translation>
    </message>
    <message>
        <source>--exclude: no pattern in &apos;%1&apos;</source>
        <translation>--exclude: kein Muster in &apos;%1&apos;</translation>
    </message>
    <message>
        <source>--exclude: &apos;%1&apos; cannot be used as a pattern</source>
        <translation>--exclude: &apos;%1&apos; kann nicht als Muster dienen</translation>
    </message>
    <message>
        <source>Usage: tarvik-scan [--filter PATTERNS] [--min-size SIZE] [--max-size SIZE]
                   [--exclude PATTERNS]... [--hidden] [--format text|csv|json]
                   [--output FILE] [--no-cache] FOLDER...

Finds the files with identical content below the folders and writes them as numbered
groups. Hidden files and folders are not listed unless asked, links to folders are not
followed, and a file reached twice is counted once.

  --filter PATTERNS  only names matching one of the comma-separated patterns, case
                     ignored, as in the window: --filter &apos;*.jpg, *.png&apos;
  --min-size SIZE    only files of at least SIZE: bytes, or with K, M or G for powers
                     of 1024 (500K, 20M, 1.5G); --min-size 1 leaves empty files out
  --max-size SIZE    only files of at most SIZE
  --exclude PATTERNS leave out the files and folders matching one of the comma-
                     separated patterns, case ignored; may be given again. A pattern
                     without &apos;/&apos; is matched against each name (node_modules, *.tmp),
                     one with &apos;/&apos; against the path below the folder given, where * and
                     ? stay within one name and ** spans folders (photos/*/thumbs,
                     **/build/**); a trailing &apos;/&apos; matches folders only. A matching
                     folder is not entered; the folders given are never matched.
  --hidden           list hidden files and enter hidden folders too
  --format FORMAT    text (the default): the paths of each group one a line, an empty
                       line after each group; a name holding a newline is ambiguous
                     csv: a header, then group,md5,size,path,modified for each file
                     json: {&quot;groups&quot;: [{number, md5, size, files: [{path, modified}]}]}
  --output FILE      write to FILE (default: standard output; &apos;-&apos; is standard output
                       too). A file is replaced only once complete, and a link to one
                       stays a link; a device or named pipe is written into, never
                       replaced; a folder, a link to nothing and a disk are refused
  --no-cache         neither read nor keep the digest cache that makes a rescan of
                       unchanged files fast (kept with the window&apos;s, in
                       ~/.local/share/tarvik/Cache)
  -h, --help         show this help
  -v, --version      show the version

Progress goes to standard error when it is a terminal.

Exit codes:
  0    the scan ended and its groups were written (finding none is no error)
  1    the output could not be written
  2    bad command line: unknown option, missing value, unknown format, no folder,
       a bad size or pattern
  3    a folder does not exist or is not a folder
  4    the scan or the writing failed for another reason, such as memory running out
  130  stopped by Ctrl-C (SIGINT), 143 stopped by SIGTERM; FILE was left as it was
</source>
        <translation>Aufruf: tarvik-scan [--filter MUSTER] [--min-size GRÖSSE] [--max-size GRÖSSE]
                    [--exclude MUSTER]... [--hidden] [--format text|csv|json]
                    [--output DATEI] [--no-cache] ORDNER...

Findet die Dateien mit gleichem Inhalt in den Ordnern und schreibt sie als nummerierte
Gruppen. Versteckte Dateien und Ordner werden nur auf Wunsch gelistet, Verknüpfungen auf
Ordner werden nicht verfolgt, und eine zweimal erreichte Datei zählt einmal.

  --filter MUSTER    nur Namen, die auf eines der durch Kommas getrennten Muster passen,
                     ohne Unterscheidung von Groß- und Kleinschreibung, wie im Fenster:
                     --filter &apos;*.jpg, *.png&apos;
  --min-size GRÖSSE  nur Dateien von mindestens GRÖSSE: Bytes oder mit K, M oder G für
                     Potenzen von 1024 (500K, 20M, 1.5G); --min-size 1 lässt leere
                     Dateien aus
  --max-size GRÖSSE  nur Dateien von höchstens GRÖSSE
  --exclude MUSTER   die Dateien und Ordner auslassen, die auf eines der durch Kommas
                     getrennten Muster passen, ohne Unterscheidung von Groß- und
                     Kleinschreibung; darf mehrmals stehen. Ein Muster ohne &apos;/&apos; wird mit
                     jedem Namen verglichen (node_modules, *.tmp), eines mit &apos;/&apos; mit dem
                     Pfad unterhalb des angegebenen Ordners, wobei * und ? innerhalb
                     eines Namens bleiben und ** über Ordner reicht (photos/*/thumbs,
                     **/build/**); ein &apos;/&apos; am Ende passt nur auf Ordner. Ein passender
                     Ordner wird nicht betreten; die angegebenen Ordner passen nie.
  --hidden           auch versteckte Dateien listen und versteckte Ordner betreten
  --format FORMAT    text (Vorgabe): die Pfade jeder Gruppe, einer je Zeile, eine
                       Leerzeile nach jeder Gruppe; ein Name mit Zeilenumbruch ist
                       mehrdeutig
                     csv: eine Kopfzeile, dann group,md5,size,path,modified je Datei
                     json: {&quot;groups&quot;: [{number, md5, size, files: [{path, modified}]}]}
  --output DATEI     in DATEI schreiben (Vorgabe: Standardausgabe; &apos;-&apos; ist ebenfalls die
                       Standardausgabe). Eine Datei wird erst ersetzt, wenn alles
                       geschrieben ist, und eine Verknüpfung auf eine bleibt eine
                       Verknüpfung; in ein Gerät oder eine benannte Pipe wird
                       hineingeschrieben, nie ersetzt; ein Ordner, eine Verknüpfung ins
                       Leere und ein Laufwerk werden abgelehnt
  --no-cache         den Prüfsummen-Cache, der eine erneute Suche unveränderter Dateien
                       schnell macht, weder lesen noch behalten (er liegt bei dem des
                       Fensters, in ~/.local/share/tarvik/Cache)
  -h, --help         diese Hilfe zeigen
  -v, --version      die Version zeigen

Der Fortschritt geht auf die Standardfehlerausgabe, wenn sie ein Terminal ist.

Rückgabewerte:
  0    die Suche ist beendet und ihre Gruppen sind geschrieben (keine zu finden ist
       kein Fehler)
  1    die Ausgabe konnte nicht geschrieben werden
  2    falscher Aufruf: unbekannte Option, fehlender Wert, unbekanntes Format, kein
       Ordner, eine ungültige Größe oder ein ungültiges Muster
  3    ein Ordner existiert nicht oder ist kein Ordner
  4    die Suche oder das Schreiben schlug aus einem anderen Grund fehl, etwa weil der
       Speicher ausging
  130  durch Strg+C (SIGINT) angehalten, 143 durch SIGTERM angehalten; DATEI blieb, wie
       sie war
</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>Warnung: %1</translation>
    </message>
</context>
<context>
    <name>tarvik::SearchOptionsPanel</name>
    <message>
        <source>Bytes, or a number with K, M or G (powers of 1024): 500K, 20M, 1.5G. A file of exactly this size is scanned. Empty: no limit.</source>
        <translation>Bytes oder eine Zahl mit K, M oder G (Potenzen von 1024): 500K, 20M, 1.5G. Eine Datei genau dieser Größe wird durchsucht. Leer: keine Grenze.</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>no minimum</source>
        <translation>kein Minimum</translation>
    </message>
    <message>
        <source>to</source>
        <translation>bis</translation>
    </message>
    <message>
        <source>no maximum</source>
        <translation>kein Maximum</translation>
    </message>
    <message>
        <source>Exclude</source>
        <translation>Auslassen</translation>
    </message>
    <message>
        <source>build, *.tmp, photos/*/thumbs</source>
        <translation>build, *.tmp, fotos/*/vorschau</translation>
    </message>
    <message>
        <source>Files and folders to leave out, separated by commas, case ignored. A pattern is matched against each name; one with a &quot;/&quot; against the path below the chosen folder, where ** spans folders (**/build/**). An excluded folder is not entered.</source>
        <translation>Auszulassende Dateien und Ordner, durch Kommas getrennt, ohne Unterscheidung von Groß- und Kleinschreibung. Ein Muster wird mit jedem Namen verglichen; eines mit „/“ mit dem Pfad unterhalb des gewählten Ordners, wobei ** über Ordner reicht (**/build/**). Ein ausgelassener Ordner wird nicht betreten.</translation>
    </message>
    <message>
        <source>Hidden files and folders too</source>
        <translation>Auch versteckte Dateien und Ordner</translation>
    </message>
    <message>
        <source>Minimum: &quot;%1&quot; is not a size (500K, 20M, 1.5G)</source>
        <translation>Minimum: „%1“ ist keine Größe (500K, 20M, 1.5G)</translation>
    </message>
    <message>
        <source>Maximum: &quot;%1&quot; is not a size (500K, 20M, 1.5G)</source>
        <translation>Maximum: „%1“ ist keine Größe (500K, 20M, 1.5G)</translation>
    </message>
    <message>
        <source>The maximum is below the minimum: nothing would be scanned.</source>
        <translation>Das Maximum liegt unter dem Minimum: Es würde nichts durchsucht.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be used as a pattern</source>
        <translation>„%1“ kann nicht als Muster dienen</translation>
    </message>
    <message>
        <source>Reuse what earlier scans read</source>
        <translation>Unveränderte Dateien nicht erneut lesen</translation>
    </message>
    <message>
        <source>Files unchanged since an earlier scan (same size, times and inode) are not read again; files are shown as copies unread only if they were once compared byte for byte. Off: every file is read, and nothing is kept.</source>
        <translation>Dateien, die seit einer früheren Suche unverändert sind (gleiche Größe, Zeiten und Inode), werden nicht erneut gelesen; ungelesen als Kopien gezeigt werden nur Dateien, die einmal Byte für Byte verglichen wurden. Aus: Jede Datei wird gelesen, und nichts wird behalten.</translation>
    </message>
</context>
<context>
    <name>tarvik::SortMenu</name>
    <message>
        <source>As Found</source>
        <translation>Wie gefunden</translation>
    </message>
    <message>
        <source>Most Space Wasted First</source>
        <translation>Größte Platzverschwendung zuerst</translation>
    </message>
    <message>
        <source>Largest Files First</source>
        <translation>Größte Dateien zuerst</translation>
    </message>
    <message>
        <source>Most Copies First</source>
        <translation>Meiste Kopien zuerst</translation>
    </message>
    <message>
        <source>By Path, A to Z</source>
        <translation>Nach Pfad, A bis Z</translation>
    </message>
</context>
<context>
    <name>tarvik::ToolMenu</name>
    <message>
        <source>About Tarvik Duplicate Finder</source>
        <translation>Über Tarvik Duplicate Finder</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>tarvik::TrashMarkedOperation</name>
    <message>
        <source>Trash Marked Files</source>
        <translation>Markierte Dateien in den Papierkorb</translation>
    </message>
    <message numerus="yes">
        <source>Move %Ln marked file(s) (%1) to the trash?</source>
        <translation>
            <numerusform>%Ln markierte Datei (%1) in den Papierkorb verschieben?</numerusform>
            <numerusform>%Ln markierte Dateien (%1) in den Papierkorb verschieben?</numerusform>
        </translation>
    </message>
    <message>
        <source>A marked file goes only if it is unchanged since the scan and a copy that stays is present and equal to it now.</source>
        <translation>Eine markierte Datei geht nur, wenn sie seit der Suche unverändert ist und eine Kopie, die bleibt, vorhanden und ihr jetzt noch gleich ist.</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb verschieben</translation>
    </message>
    <message numerus="yes">
        <source>In %Ln group(s) every file is marked: those groups would lose every copy, so their files stay unless you choose to trash them too.</source>
        <translation>
            <numerusform>In %Ln Gruppe ist jede Datei markiert: Diese Gruppe verlöre jede Kopie, daher bleiben ihre Dateien, außer Sie wählen, auch sie in den Papierkorb zu verschieben.</numerusform>
            <numerusform>In %Ln Gruppen ist jede Datei markiert: Diese Gruppen verlören jede Kopie, daher bleiben ihre Dateien, außer Sie wählen, auch sie in den Papierkorb zu verschieben.</numerusform>
        </translation>
    </message>
    <message>
        <source>Trash Every Copy Too</source>
        <translation>Auch jede Kopie in den Papierkorb</translation>
    </message>
    <message>
        <source>Moving marked files to the trash...</source>
        <translation>Markierte Dateien werden in den Papierkorb verschoben...</translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s) (%1) went to the trash.</source>
        <translation>
            <numerusform>%Ln Datei (%1) wurde in den Papierkorb verschoben.</numerusform>
            <numerusform>%Ln Dateien (%1) wurden in den Papierkorb verschoben.</numerusform>
        </translation>
    </message>
    <message>
        <source>changed since the scan</source>
        <translation>seit der Suche geändert</translation>
    </message>
    <message>
        <source>no kept copy present</source>
        <translation>keine bleibende Kopie vorhanden</translation>
    </message>
    <message>
        <source>the kept copy differs now</source>
        <translation>die bleibende Kopie weicht jetzt ab</translation>
    </message>
    <message>
        <source>the trash refused it</source>
        <translation>der Papierkorb hat sie abgelehnt</translation>
    </message>
</context>
</TS>
