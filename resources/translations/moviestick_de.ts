<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Localizable</name>
    <message>
        <source>CreateNibReference() error.</source>
        <translation>Die Fensterbeschreibungen des Programms konnten nicht geöffnet werden. Eine Neuinstallation des Programms sollte sie wiederherstellen.</translation>
    </message>
    <message>
        <source>CreateWindowFromNib() error.</source>
        <translation>Ein Fenster konnte nicht aus den Fensterbeschreibungen des Programms aufgebaut werden. Eine Neuinstallation des Programms sollte sie wiederherstellen.</translation>
    </message>
    <message>
        <source>NibFileDamagedErr</source>
        <translation>Die Datei mit den Fensterbeschreibungen des Programms hatte den falschen Namen und wurde umbenannt. moviestick wird jetzt beendet; starten Sie es erneut, um es zu benutzen.</translation>
    </message>
    <message>
        <source>GetGraphicsImporterForFile() error.</source>
        <translation>Die Vorschaubilddatei konnte nicht als Bild geöffnet werden. Sie ist vielleicht beschädigt: Erstellen Sie das Vorschaubild neu.</translation>
    </message>
    <message>
        <source>GraphicsImportGetImageDescription() error.</source>
        <translation>Das Vorschaubild konnte nicht gelesen werden. Es ist vielleicht beschädigt: Erstellen Sie das Vorschaubild neu.</translation>
    </message>
    <message>
        <source>GraphicsImportGetNaturalBounds() error.</source>
        <translation>Die Größe des Vorschaubilds konnte nicht gelesen werden. Es ist vielleicht beschädigt: Erstellen Sie das Vorschaubild neu.</translation>
    </message>
    <message>
        <source>GraphicsImportSetBoundsRect() error.</source>
        <translation>Das Vorschaubild konnte nicht in die Vorschau eingepasst werden.</translation>
    </message>
    <message>
        <source>OpenPicture() error.</source>
        <translation>Die Vorschau des Vorschaubilds konnte nicht vorbereitet werden.</translation>
    </message>
    <message>
        <source>GraphicsImportDraw() error.</source>
        <translation>Das Vorschaubild konnte nicht gezeichnet werden.</translation>
    </message>
    <message>
        <source>GetDataBrowserItemCount() error.</source>
        <translation>Die ausgewählten Filme in der Liste konnten nicht gezählt werden.</translation>
    </message>
    <message>
        <source>GetDataBrowserItems() error.</source>
        <translation>Die ausgewählten Filme in der Liste konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <source>RemoveDataBrowserItems() error.</source>
        <translation>Ein Film konnte nicht aus der Liste entfernt werden.</translation>
    </message>
    <message>
        <source>AddDataBrowserItems() error.</source>
        <translation>Die Filme konnten nicht zur Liste hinzugefügt werden.</translation>
    </message>
    <message>
        <source>InitDataBrowserCallbacks() error.</source>
        <translation>Die Filmliste konnte nicht vorbereitet werden. Beenden Sie das Programm und starten Sie es erneut.</translation>
    </message>
    <message>
        <source>SetDataBrowserCallbacks() error.</source>
        <translation>Die Filmliste konnte nicht eingerichtet werden. Beenden Sie das Programm und starten Sie es erneut.</translation>
    </message>
    <message>
        <source>FSGetCatalogInfo() error.</source>
        <translation>Die Angaben zur Filmdatei konnten nicht gelesen werden. Prüfen Sie, ob die Datei noch vorhanden ist.</translation>
    </message>
    <message>
        <source>OpenMovieFile() error.</source>
        <translation>Die Filmdatei konnte nicht geöffnet werden. Prüfen Sie, ob sie noch vorhanden ist und ob Sie sie lesen dürfen.</translation>
    </message>
    <message>
        <source>qtCodecErr</source>
        <translation>Dieser Film kann nicht angezeigt werden: Für sein Videoformat ist kein Decoder installiert.</translation>
    </message>
    <message>
        <source>NewMovieFromFile() error.</source>
        <translation>Der Film konnte nicht gelesen werden. Die Datei ist vielleicht beschädigt oder kein Film.</translation>
    </message>
    <message>
        <source>CreateMovieControl() error.</source>
        <translation>Der Film konnte nicht im Vorschaubildfenster angezeigt werden.</translation>
    </message>
    <message>
        <source>MakeThumbnailErr</source>
        <translation>Die Vorschaubilddatei konnte nicht geschrieben werden. Prüfen Sie, ob in den Ordner des Films geschrieben werden darf und ob dort Platz frei ist.</translation>
    </message>
    <message>
        <source>qtErr</source>
        <translation>Vorschaubilder können nicht erstellt werden: Die nötigen Videobibliotheken fehlen oder sind zu alt.</translation>
    </message>
    <message>
        <source>FindPSPErr</source>
        <translation>Es wurde keine PSP gefunden. Verbinden Sie die PSP per USB-Kabel und schalten Sie auf ihr den USB-Modus ein (Einstellungen › USB-Verbindung); sie erscheint dann von selbst im Gerätemenü.</translation>
    </message>
    <message>
        <source>DiskFullErr</source>
        <translation>Auf dem Memory Stick der PSP ist zu wenig Platz für diese Filme: die Filme brauchen %1, frei sind %2. Schaffen Sie dort Platz oder senden Sie weniger Filme.</translation>
    </message>
    <message>
        <source>NewThreadErr</source>
        <translation>Das Senden konnte nicht gestartet werden. Versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>CopyFileErr</source>
        <translation>Ein Film konnte nicht auf die PSP kopiert werden. Prüfen Sie, ob die PSP noch verbunden ist und Platz frei hat, und senden Sie erneut.</translation>
    </message>
    <message>
        <source>UnmountErr</source>
        <translation>Die PSP konnte nicht ausgeworfen werden. Schließen Sie alle Programme, die sie benutzen, und werfen Sie sie dann über die Arbeitsumgebung aus.</translation>
    </message>
    <message>
        <source>SendMessage</source>
        <translation>Alle Filme der Liste an die PSP senden?</translation>
    </message>
    <message>
        <source>RenameMessage</source>
        <translation>Den Titel aller Filme auf ihren Dateinamen setzen? Die in den Filmdateien gespeicherten Titel werden ersetzt.</translation>
    </message>
    <message>
        <source>DeleteMessage</source>
        <translation>Die ausgewählten Filme aus der Liste entfernen? Die Filmdateien selbst bleiben erhalten.</translation>
    </message>
    <message>
        <source>StopOpenMessage</source>
        <translation>Das Hinzufügen von Filmen beenden? Die bisher hinzugefügten Filme bleiben in der Liste.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>onlySelecedItem</source>
        <translation>Nur ausgewählte</translation>
    </message>
    <message>
        <source>pspNotFound</source>
        <translation>Keine PSP gefunden</translation>
    </message>
    <message>
        <source>errorDetails</source>
        <translation>Details: Fehler %1</translation>
    </message>
    <message>
        <source>sizeBytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>sendAllButton</source>
        <translation>Alle senden</translation>
    </message>
    <message>
        <source>sendSelectedButton</source>
        <translation>Ausgewählte senden</translation>
    </message>
    <message>
        <source>renameButton</source>
        <translation>Titel setzen</translation>
    </message>
    <message>
        <source>deleteButton</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>stopOpenButton</source>
        <translation>Hinzufügen beenden</translation>
    </message>
    <message>
        <source>sendDoneSummary</source>
        <translation>Filme gesendet</translation>
    </message>
    <message>
        <source>sendDoneOne</source>
        <translation>1 Film wurde an „%1“ gesendet.</translation>
    </message>
    <message>
        <source>sendDoneMany</source>
        <translation>%1 Filme wurden an „%2“ gesendet.</translation>
    </message>
    <message>
        <source>sendDoneUnplug</source>
        <translation>Das Gerät wurde ausgeworfen und kann jetzt abgezogen werden.</translation>
    </message>
    <message>
        <source>prograssFileName</source>
        <translation>„%1“ wird kopiert</translation>
    </message>
    <message>
        <source>prograssFileOf</source>
        <translation>„%1“ wird kopiert (%2 von %3)</translation>
    </message>
    <message>
        <source>prograssInfoMins</source>
        <translation>%1 von %2 kopiert, noch etwa %3 min %4 s</translation>
    </message>
    <message>
        <source>prograssInfoSecs</source>
        <translation>%1 von %2 kopiert, noch etwa %3 s</translation>
    </message>
    <message>
        <source>TitleChangeErr</source>
        <translation>Der Titel von „%1“ konnte nicht gespeichert werden: %2. Die Liste zeigt den Titel, den der Film enthält.</translation>
    </message>
    <message>
        <source>TitlesChangeErr</source>
        <translation>Die Titel von %1 Filmen konnten nicht gespeichert werden. Die Liste zeigt die Titel, die sie enthalten.</translation>
    </message>
    <message>
        <source>SendSkipErr</source>
        <translation>„%1“ wurde nicht an die PSP gesendet: %2. Der Film bleibt in der Liste.</translation>
    </message>
    <message>
        <source>SendSkipListErr</source>
        <translation>%1 Filme wurden nicht an die PSP gesendet. Sie bleiben in der Liste.</translation>
    </message>
    <message>
        <source>movieFailureLine</source>
        <translation>„%1“: %2</translation>
    </message>
    <message>
        <source>moreMovieFailures</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>die Datei ist nicht mehr vorhanden</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>Sie dürfen die Datei nicht lesen</translation>
    </message>
    <message>
        <source>the file is read-only</source>
        <translation>die Datei ist schreibgeschützt</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>das Laufwerk ist schreibgeschützt</translation>
    </message>
    <message>
        <source>the movie's folder is not writable</source>
        <translation>in den Ordner des Films darf nicht geschrieben werden</translation>
    </message>
    <message>
        <source>no room on the disk</source>
        <translation>kein Platz auf dem Laufwerk</translation>
    </message>
    <message>
        <source>not an MP4 movie</source>
        <translation>kein MP4-Film</translation>
    </message>
    <message>
        <source>no PSP metadata</source>
        <translation>keine PSP-Metadaten</translation>
    </message>
    <message>
        <source>no title</source>
        <translation>kein Titel</translation>
    </message>
    <message>
        <source>the movie's structure is damaged; it was not changed</source>
        <translation>der Aufbau des Films ist beschädigt; er wurde nicht verändert</translation>
    </message>
    <message>
        <source>the title is too long</source>
        <translation>der Titel ist zu lang</translation>
    </message>
    <message>
        <source>the title is not valid UTF-8</source>
        <translation>der Titel ist kein gültiges UTF-8</translation>
    </message>
    <message>
        <source>not enough memory</source>
        <translation>nicht genug Arbeitsspeicher</translation>
    </message>
    <message>
        <source>the file could not be read or written</source>
        <translation>die Datei konnte nicht gelesen oder geschrieben werden</translation>
    </message>
    <message>
        <source>no video track</source>
        <translation>keine Videospur</translation>
    </message>
    <message>
        <source>not a PSP video format</source>
        <translation>kein Videoformat der PSP</translation>
    </message>
    <message>
        <source>not a PSP video format: %1</source>
        <translation>kein Videoformat der PSP: %1</translation>
    </message>
    <message>
        <source>no room on the PSP</source>
        <translation>kein Platz mehr auf der PSP</translation>
    </message>
    <message>
        <source>the PSP is read-only</source>
        <translation>der Memory Stick der PSP ist schreibgeschützt</translation>
    </message>
    <message>
        <source>no free file number on the PSP</source>
        <translation>alle Dateinummern im Filmordner der PSP sind vergeben</translation>
    </message>
    <message>
        <source>the PSP's movie folder could not be made</source>
        <translation>der Filmordner der PSP konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>the copy failed (error code %1)</source>
        <translation>das Kopieren ist fehlgeschlagen (Fehler %1)</translation>
    </message>
    <message>
        <source>emptyListHint</source>
        <translation>Filme oder Ordner hierher ziehen oder „File › Open…“ wählen</translation>
    </message>
    <message>
        <source>wellNoThumbnail</source>
        <translation>Kein Vorschaubild</translation>
    </message>
    <message>
        <source>wellSelectOne</source>
        <translation>Einen Film auswählen</translation>
    </message>
    <message>
        <source>will be converted</source>
        <translation>wird umgewandelt</translation>
    </message>
    <message>
        <source>cannot be converted: %1</source>
        <translation>nicht umwandelbar: %1</translation>
    </message>
    <message>
        <source>progressConvertingFileName</source>
        <translation>„%1“ wird umgewandelt (%2 von %3)</translation>
    </message>
    <message>
        <source>the conversion failed: %1</source>
        <translation>die Umwandlung ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>ConvertSkipErr</source>
        <translation>„%1“ wurde nicht für die PSP umgewandelt: %2.</translation>
    </message>
    <message>
        <source>ConvertSkipListErr</source>
        <translation>%1 Filme wurden nicht für die PSP umgewandelt.</translation>
    </message>
    <message>
        <source>a converted copy could not be named</source>
        <translation>jeder Name für die umgewandelte Kopie ist vergeben</translation>
    </message>
</context>
</TS>
