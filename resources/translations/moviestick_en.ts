<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>CreateNibReference() error.</source>
        <translation>The application’s window layouts could not be opened. Reinstalling the application should repair them.</translation>
    </message>
    <message>
        <source>CreateWindowFromNib() error.</source>
        <translation>A window could not be built from the application’s window layouts. Reinstalling the application should repair them.</translation>
    </message>
    <message>
        <source>NibFileDamagedErr</source>
        <translation>The file with the application’s window layouts had the wrong name and has been renamed. moviestick will now close; start it again to use it.</translation>
    </message>
    <message>
        <source>GetGraphicsImporterForFile() error.</source>
        <translation>The thumbnail file could not be opened as a picture. It may be damaged: make the thumbnail again.</translation>
    </message>
    <message>
        <source>GraphicsImportGetImageDescription() error.</source>
        <translation>The thumbnail picture could not be read. It may be damaged: make the thumbnail again.</translation>
    </message>
    <message>
        <source>GraphicsImportGetNaturalBounds() error.</source>
        <translation>The size of the thumbnail picture could not be read. It may be damaged: make the thumbnail again.</translation>
    </message>
    <message>
        <source>GraphicsImportSetBoundsRect() error.</source>
        <translation>The thumbnail picture could not be fitted into the preview.</translation>
    </message>
    <message>
        <source>OpenPicture() error.</source>
        <translation>The thumbnail preview could not be prepared.</translation>
    </message>
    <message>
        <source>GraphicsImportDraw() error.</source>
        <translation>The thumbnail picture could not be drawn.</translation>
    </message>
    <message>
        <source>GetDataBrowserItemCount() error.</source>
        <translation>The selected movies in the list could not be counted.</translation>
    </message>
    <message>
        <source>GetDataBrowserItems() error.</source>
        <translation>The selected movies in the list could not be read.</translation>
    </message>
    <message>
        <source>RemoveDataBrowserItems() error.</source>
        <translation>A movie could not be removed from the list.</translation>
    </message>
    <message>
        <source>AddDataBrowserItems() error.</source>
        <translation>The movies could not be added to the list.</translation>
    </message>
    <message>
        <source>InitDataBrowserCallbacks() error.</source>
        <translation>The movie list could not be prepared. Quit and start the application again.</translation>
    </message>
    <message>
        <source>SetDataBrowserCallbacks() error.</source>
        <translation>The movie list could not be set up. Quit and start the application again.</translation>
    </message>
    <message>
        <source>FSGetCatalogInfo() error.</source>
        <translation>The movie file’s information could not be read. Check that the file still exists.</translation>
    </message>
    <message>
        <source>OpenMovieFile() error.</source>
        <translation>The movie file could not be opened. Check that it still exists and that you may read it.</translation>
    </message>
    <message>
        <source>qtCodecErr</source>
        <translation>This movie cannot be shown: no decoder for its video format is installed.</translation>
    </message>
    <message>
        <source>NewMovieFromFile() error.</source>
        <translation>The movie could not be read. The file may be damaged or may not be a movie.</translation>
    </message>
    <message>
        <source>CreateMovieControl() error.</source>
        <translation>The movie could not be shown in the thumbnail window.</translation>
    </message>
    <message>
        <source>MakeThumbnailErr</source>
        <translation>The thumbnail file could not be written. Check that the movie’s folder may be written to and has free space.</translation>
    </message>
    <message>
        <source>qtErr</source>
        <translation>Thumbnails cannot be made: the video libraries they need are missing or too old.</translation>
    </message>
    <message>
        <source>FindPSPErr</source>
        <translation>No PSP was found. Connect the PSP with a USB cable and turn on USB mode on it (Settings › USB Connection); it then shows up in the device menu by itself.</translation>
    </message>
    <message>
        <source>DiskFullErr</source>
        <translation>The PSP’s memory stick has too little free space for these movies: they need %1, and %2 is free. Free some space on it, or send fewer movies.</translation>
    </message>
    <message>
        <source>NewThreadErr</source>
        <translation>Sending could not be started. Try again.</translation>
    </message>
    <message>
        <source>CopyFileErr</source>
        <translation>A movie could not be copied to the PSP. Check that the PSP is still connected and has free space, then send again.</translation>
    </message>
    <message>
        <source>UnmountErr</source>
        <translation>The PSP could not be ejected. Close any program that uses it, then eject it from the desktop.</translation>
    </message>
    <message>
        <source>SendMessage</source>
        <translation>Send all the movies in the list to the PSP?</translation>
    </message>
    <message>
        <source>RenameMessage</source>
        <translation>Set the title of all the movies to their file names? The titles stored in the movie files will be replaced.</translation>
    </message>
    <message>
        <source>DeleteMessage</source>
        <translation>Remove the selected movies from the list? The movie files themselves are kept.</translation>
    </message>
    <message>
        <source>StopOpenMessage</source>
        <translation>Stop adding movies? The movies added so far stay in the list.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>onlySelecedItem</source>
        <translation>Selected Only</translation>
    </message>
    <message>
        <source>pspNotFound</source>
        <translation>No PSP found</translation>
    </message>
    <message>
        <source>errorDetails</source>
        <translation>Details: error %1</translation>
    </message>
    <message>
        <source>sizeBytes</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>sendAllButton</source>
        <translation>Send All</translation>
    </message>
    <message>
        <source>sendSelectedButton</source>
        <translation>Send Selected</translation>
    </message>
    <message>
        <source>renameButton</source>
        <translation>Set Titles</translation>
    </message>
    <message>
        <source>deleteButton</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>stopOpenButton</source>
        <translation>Stop Adding</translation>
    </message>
    <message>
        <source>sendDoneSummary</source>
        <translation>Movies sent</translation>
    </message>
    <message>
        <source>sendDoneOne</source>
        <translation>1 movie was sent to “%1”.</translation>
    </message>
    <message>
        <source>sendDoneMany</source>
        <translation>%1 movies were sent to “%2”.</translation>
    </message>
    <message>
        <source>sendDoneUnplug</source>
        <translation>It has been ejected and is safe to unplug.</translation>
    </message>
    <message>
        <source>prograssFileName</source>
        <translation>Copying “%1”</translation>
    </message>
    <message>
        <source>prograssFileOf</source>
        <translation>Copying “%1” (%2 of %3)</translation>
    </message>
    <message>
        <source>prograssInfoMins</source>
        <translation>%1 of %2 copied, about %3 min %4 s left</translation>
    </message>
    <message>
        <source>prograssInfoSecs</source>
        <translation>%1 of %2 copied, about %3 s left</translation>
    </message>
    <message>
        <source>TitleChangeErr</source>
        <translation>The title of “%1” could not be stored: %2. The list shows the title the movie holds.</translation>
    </message>
    <message>
        <source>TitlesChangeErr</source>
        <translation>The titles of %1 movies could not be stored. The list shows the titles they hold.</translation>
    </message>
    <message>
        <source>SendSkipErr</source>
        <translation>“%1” was not sent to the PSP: %2. It stays in the list.</translation>
    </message>
    <message>
        <source>SendSkipListErr</source>
        <translation>%1 movies were not sent to the PSP. They stay in the list.</translation>
    </message>
    <message>
        <source>movieFailureLine</source>
        <translation>“%1”: %2</translation>
    </message>
    <message>
        <source>moreMovieFailures</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>the file is gone</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>you may not read the file</translation>
    </message>
    <message>
        <source>the file is read-only</source>
        <translation>the file is read-only</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>the disk is read-only</translation>
    </message>
    <message>
        <source>the movie's folder is not writable</source>
        <translation>the movie’s folder may not be written to</translation>
    </message>
    <message>
        <source>no room on the disk</source>
        <translation>no room on the disk</translation>
    </message>
    <message>
        <source>not an MP4 movie</source>
        <translation>not an MP4 movie</translation>
    </message>
    <message>
        <source>no PSP metadata</source>
        <translation>no PSP metadata</translation>
    </message>
    <message>
        <source>no title</source>
        <translation>no title</translation>
    </message>
    <message>
        <source>the movie's structure is damaged; it was not changed</source>
        <translation>the movie’s structure is damaged; it was not changed</translation>
    </message>
    <message>
        <source>the title is too long</source>
        <translation>the title is too long</translation>
    </message>
    <message>
        <source>the title is not valid UTF-8</source>
        <translation>the title is not valid UTF-8</translation>
    </message>
    <message>
        <source>not enough memory</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>the file could not be read or written</source>
        <translation>the file could not be read or written</translation>
    </message>
    <message>
        <source>no video track</source>
        <translation>no video track</translation>
    </message>
    <message>
        <source>not a PSP video format</source>
        <translation>not a PSP video format</translation>
    </message>
    <message>
        <source>not a PSP video format: %1</source>
        <translation>not a PSP video format: %1</translation>
    </message>
    <message>
        <source>no room on the PSP</source>
        <translation>no room left on the PSP</translation>
    </message>
    <message>
        <source>the PSP is read-only</source>
        <translation>the PSP’s memory stick is read-only</translation>
    </message>
    <message>
        <source>no free file number on the PSP</source>
        <translation>every file number in the PSP’s movie folder is taken</translation>
    </message>
    <message>
        <source>the PSP's movie folder could not be made</source>
        <translation>the PSP’s movie folder could not be made</translation>
    </message>
    <message>
        <source>the copy failed (error code %1)</source>
        <translation>the copy failed (error %1)</translation>
    </message>
    <message>
        <source>emptyListHint</source>
        <translation>Drop movies or folders here, or choose File › Open…</translation>
    </message>
    <message>
        <source>wellNoThumbnail</source>
        <translation>No thumbnail</translation>
    </message>
    <message>
        <source>wellSelectOne</source>
        <translation>Select one movie</translation>
    </message>
    <message>
        <source>will be converted</source>
        <translation>will be converted</translation>
    </message>
    <message>
        <source>cannot be converted: %1</source>
        <translation>cannot be converted: %1</translation>
    </message>
    <message>
        <source>progressConvertingFileName</source>
        <translation>Converting “%1” (%2 of %3)</translation>
    </message>
    <message>
        <source>the conversion failed: %1</source>
        <translation>the conversion failed: %1</translation>
    </message>
    <message>
        <source>ConvertSkipErr</source>
        <translation>“%1” was not converted for the PSP: %2.</translation>
    </message>
    <message>
        <source>ConvertSkipListErr</source>
        <translation>%1 movies were not converted for the PSP.</translation>
    </message>
    <message>
        <source>a converted copy could not be named</source>
        <translation>every name for its converted copy is taken</translation>
    </message>
</context>
</TS>
