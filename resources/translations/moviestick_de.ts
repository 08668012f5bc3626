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
<context>
    <name>About</name>
    <message>
        <source>About moviestick</source>
        <translation>Über moviestick</translation>
    </message>
    <message>
        <source>moviestick icon</source>
        <translation>moviestick-Symbol</translation>
    </message>
    <message>
        <source>Gives MP4 movies their titles and thumbnails, and copies them to the memory stick of a PSP.</source>
        <translation>Gibt MP4-Filmen ihre Titel und Vorschaubilder und kopiert sie auf den Memory Stick einer PSP.</translation>
    </message>
    <message>
        <source>Made with Qt and FFmpeg.</source>
        <translation>Erstellt mit Qt und FFmpeg.</translation>
    </message>
    <message>
        <source>Free software under the GNU General Public License, version 3 or later. It comes with no warranty.</source>
        <translation>Freie Software unter der GNU General Public License, Version 3 oder neuer. Sie wird ohne jede Gewährleistung bereitgestellt.</translation>
    </message>
</context>
<context>
    <name>MenuBar</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Movie</source>
        <translation>&amp;Film</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Movie List</source>
        <translation>Filmliste</translation>
    </message>
    <message>
        <source>&amp;Open…</source>
        <translation>Ö&amp;ffnen…</translation>
    </message>
    <message>
        <source>&amp;Remove…</source>
        <translation>&amp;Entfernen…</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Titles from File Names…</source>
        <translation>&amp;Titel aus Dateinamen…</translation>
    </message>
    <message>
        <source>&amp;Special Characters…</source>
        <translation>Sonder&amp;zeichen…</translation>
    </message>
    <message>
        <source>&amp;Edit Title</source>
        <translation>Titel &amp;bearbeiten</translation>
    </message>
    <message>
        <source>Edit the selected movie's title (F2)</source>
        <translation>Den Titel des ausgewählten Films bearbeiten (F2)</translation>
    </message>
    <message>
        <source>Make &amp;Thumbnail…</source>
        <translation>&amp;Vorschaubild erstellen…</translation>
    </message>
    <message>
        <source>&amp;Send to PSP…</source>
        <translation>An PSP &amp;senden…</translation>
    </message>
    <message>
        <source>&amp;Convert for PSP…</source>
        <translation>Für PSP &amp;umwandeln…</translation>
    </message>
    <message>
        <source>Write a copy the PSP plays beside each selected movie</source>
        <translation>Neben jeden ausgewählten Film eine Kopie schreiben, die die PSP abspielt</translation>
    </message>
    <message>
        <source>&amp;About moviestick</source>
        <translation>&amp;Über moviestick</translation>
    </message>
</context>
<context>
    <name>Pref</name>
    <message>
        <source>Movies</source>
        <translation>Filme</translation>
    </message>
    <message>
        <source>The movies to send, with their titles and whether the PSP can play them. F2 edits the title of the selected movie, Delete removes the selected movies from the list; drop movie files or folders here to add them.</source>
        <translation>Die zu sendenden Filme mit ihren Titeln und der Angabe, ob die PSP sie abspielen kann. F2 bearbeitet den Titel des ausgewählten Films, Entf entfernt die ausgewählten Filme aus der Liste; ziehen Sie Filmdateien oder Ordner hierher, um sie hinzuzufügen.</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>PSP</source>
        <translation>PSP</translation>
    </message>
    <message>
        <source>Thumbnail</source>
        <translation>Vorschaubild</translation>
    </message>
    <message>
        <source>Thumbnail preview: no movie selected</source>
        <translation>Vorschaubild: kein Film ausgewählt</translation>
    </message>
    <message>
        <source>Shows the thumbnail of the one selected movie.</source>
        <translation>Zeigt das Vorschaubild des einen ausgewählten Films.</translation>
    </message>
    <message>
        <source>The thumbnail of the selected movie</source>
        <translation>Das Vorschaubild des ausgewählten Films</translation>
    </message>
    <message>
        <source>Choose a frame of the selected movie to become its thumbnail.</source>
        <translation>Wählen Sie ein Bild des ausgewählten Films als sein Vorschaubild.</translation>
    </message>
    <message>
        <source>Make Thumbnail…</source>
        <translation>Vorschau wählen…</translation>
    </message>
    <message>
        <source>Kept beside the movie as a .THM file.</source>
        <translation>Wird neben dem Film als .THM-Datei abgelegt.</translation>
    </message>
    <message>
        <source>When sending</source>
        <translation>Beim Senden</translation>
    </message>
    <message>
        <source>Copy each movie's thumbnail to the PSP along with it.</source>
        <translation>Das Vorschaubild jedes Films mit auf die PSP kopieren.</translation>
    </message>
    <message>
        <source>Send thumbnails</source>
        <translation>Vorschaubilder senden</translation>
    </message>
    <message>
        <source>Unmount the PSP once every movie has been sent.</source>
        <translation>Die PSP aushängen, sobald alle Filme gesendet sind.</translation>
    </message>
    <message>
        <source>Unmount after sending</source>
        <translation>Nach dem Senden aushängen</translation>
    </message>
    <message>
        <source>The PSP runs firmware 3.30 or later, which plays larger H.264 movies as they are.</source>
        <translation>Die PSP hat Firmware 3.30 oder neuer, die größere H.264-Filme unverändert abspielt.</translation>
    </message>
    <message>
        <source>PSP firmware 3.30 or later</source>
        <translation>PSP-Firmware 3.30 oder neuer</translation>
    </message>
    <message>
        <source>Conversion quality</source>
        <translation>Qualität der Umwandlung</translation>
    </message>
    <message>
        <source>The picture quality of the movies converted for the PSP: Standard (768 kbit/s) or High (1,500 kbit/s).</source>
        <translation>Die Bildqualität der für die PSP umgewandelten Filme: Standard (768 kbit/s) oder Hoch (1.500 kbit/s).</translation>
    </message>
    <message>
        <source>The picture quality of converted movies</source>
        <translation>Die Bildqualität umgewandelter Filme</translation>
    </message>
    <message>
        <source>Standard quality (768 kbit/s)</source>
        <translation>Standardqualität (768 kbit/s)</translation>
    </message>
    <message>
        <source>High quality (1,500 kbit/s)</source>
        <translation>Hohe Qualität (1.500 kbit/s)</translation>
    </message>
    <message>
        <source>PSP device</source>
        <translation>PSP-Gerät</translation>
    </message>
    <message>
        <source>The PSP the movies are sent to.</source>
        <translation>Die PSP, an die die Filme gesendet werden.</translation>
    </message>
    <message>
        <source>The PSP the movies are sent to</source>
        <translation>Die PSP, an die die Filme gesendet werden</translation>
    </message>
    <message>
        <source>Copy the movies in the list to the chosen PSP.</source>
        <translation>Die Filme der Liste auf die gewählte PSP kopieren.</translation>
    </message>
    <message>
        <source>Send to PSP</source>
        <translation>An PSP senden</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Sending to PSP</source>
        <translation>Senden an die PSP</translation>
    </message>
    <message>
        <source>Movie being copied</source>
        <translation>Film, der gerade kopiert wird</translation>
    </message>
    <message>
        <source>Copy progress</source>
        <translation>Fortschritt des Kopierens</translation>
    </message>
    <message>
        <source>Share of the bytes of this send copied to the PSP so far</source>
        <translation>Anteil der Bytes dieses Sendens, die bisher auf die PSP kopiert wurden</translation>
    </message>
    <message>
        <source>Size copied and time left</source>
        <translation>Kopierte Größe und verbleibende Zeit</translation>
    </message>
    <message>
        <source>The size copied and the size in all, in decimal units (1 MB = 1,000,000 bytes), and an estimate of the time left</source>
        <translation>Die kopierte Größe und die Gesamtgröße in Dezimaleinheiten (1 MB = 1.000.000 Bytes) und eine Schätzung der verbleibenden Zeit</translation>
    </message>
    <message>
        <source>Sizes in decimal units: 1 MB = 1,000,000 bytes, 1 GB = 1,000,000,000 bytes</source>
        <translation>Größen in Dezimaleinheiten: 1 MB = 1.000.000 Bytes, 1 GB = 1.000.000.000 Bytes</translation>
    </message>
    <message>
        <source>Cancel sending</source>
        <translation>Senden abbrechen</translation>
    </message>
    <message>
        <source>Stops the send after the block being copied; movies already on the PSP stay there</source>
        <translation>Beendet das Senden nach dem gerade kopierten Block; Filme, die schon auf der PSP sind, bleiben dort</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Thumbnail</name>
    <message>
        <source>Make Thumbnail</source>
        <translation>Vorschaubild erstellen</translation>
    </message>
    <message>
        <source>Movie player</source>
        <translation>Filmwiedergabe</translation>
    </message>
    <message>
        <source>Plays the movie; the frame shown becomes the thumbnail.</source>
        <translation>Spielt den Film ab; das gezeigte Bild wird zum Vorschaubild.</translation>
    </message>
    <message>
        <source>Frame steps</source>
        <translation>Bildschritte</translation>
    </message>
    <message>
        <source>Big step</source>
        <translation>Grob</translation>
    </message>
    <message>
        <source>Small step</source>
        <translation>Fein</translation>
    </message>
    <message>
        <source>Back by the first step</source>
        <translation>Um den ersten Schritt zurück</translation>
    </message>
    <message>
        <source>The first step, in seconds</source>
        <translation>Der erste Schritt in Sekunden</translation>
    </message>
    <message>
        <source>First step in seconds</source>
        <translation>Erster Schritt in Sekunden</translation>
    </message>
    <message>
        <source>Longer first step</source>
        <translation>Längerer erster Schritt</translation>
    </message>
    <message>
        <source>Shorter first step</source>
        <translation>Kürzerer erster Schritt</translation>
    </message>
    <message>
        <source>sec</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Forward by the first step</source>
        <translation>Um den ersten Schritt vor</translation>
    </message>
    <message>
        <source>Back by the second step</source>
        <translation>Um den zweiten Schritt zurück</translation>
    </message>
    <message>
        <source>The second step, in seconds</source>
        <translation>Der zweite Schritt in Sekunden</translation>
    </message>
    <message>
        <source>Second step in seconds</source>
        <translation>Zweiter Schritt in Sekunden</translation>
    </message>
    <message>
        <source>Longer second step</source>
        <translation>Längerer zweiter Schritt</translation>
    </message>
    <message>
        <source>Shorter second step</source>
        <translation>Kürzerer zweiter Schritt</translation>
    </message>
    <message>
        <source>Forward by the second step</source>
        <translation>Um den zweiten Schritt vor</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Use This Frame</source>
        <translation>Bild verwenden</translation>
    </message>
</context>
</TS>
