// movietitle.cpp - titles of listed movies, names read back from the file system, the ".mp4"
// suffix test and the Ctrl+period query that stops adding.
#include "movielist/movielist.h"

#include <algorithm>

#include <QByteArray>
#include <QStringView>

#include "container/movie.h"
#include "toolkit/keyboard.h"

// The title as the file can take it: UTF-8 (which is also this system's legacy encoding, so no
// character is lost), up to the first NUL, and cut at a character boundary to fit the title
// buffer. A cut between whole UTF-8 sequences never splits a UTF-16 surrogate pair either.
static QByteArray TitleBytes(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    const qsizetype nul = utf8.indexOf('\0');
    if (nul >= 0) utf8.truncate(nul);
    if (utf8.size() > qsizetype(kTitleBufferSize - 1)) {
        qsizetype cut = kTitleBufferSize - 1;
        while (cut > 0 && (uchar(utf8.at(cut)) & 0xC0) == 0x80) --cut;
        utf8.truncate(cut);
    }
    return utf8;
}

// Where the movie is now: a file renamed since it was added is written under its new name,
// not looked for under the old one.
static std::string CurrentPath(const OpenFileInfo& entry) {
    char path[kMoviePathBufferSize];
    if (FSRefMakePath(&entry.fileRef, path, sizeof path) != kNoErr) return entry.path;
    return path;
}

int16_t ChangeTitle(uint32_t itemID, int mode, const QString* text) {
    if (mode != kChangeTitleFromFileName && mode != kChangeTitleFromText) return kNoErr;
    if (mode == kChangeTitleFromText && !text) return kParamErr;
    const int index = GetOpenFileInfo(itemID);
    if (index < 0) return kParamErr;
    OpenFileInfo& entry = (*gOpenFile)[index];

    QString source;
    if (mode == kChangeTitleFromFileName) {
        const int16_t status = CFStringNameFromFSRef(&source, &entry.fileRef, false);
        if (status != kNoErr) return status;
    } else {
        source = *text;
    }
    const QByteArray utf8 = TitleBytes(source);
    const QString candidate = QString::fromUtf8(utf8);
    if (entry.title && *entry.title == candidate) return kNoErr;

    // A movie without a metadata atom cannot take the title; the list shows it all the same,
    // as the user typed it.
    (void)SetTitle(CurrentPath(entry).c_str(), utf8.constData());
    entry.title = mode == kChangeTitleFromFileName ? candidate : *text;
    return kNoErr;
}

int16_t CFStringNameFromFSRef(QString* name, const FSRef* ref, bool withExtension) {
    if (!name) return kParamErr;
    HFSUniStr255 current;
    const int16_t status = FSGetCatalogInfo(ref, kFSCatInfoNone, nullptr, &current);
    if (status != kNoErr) return status;
    QString whole = QStringFromHFSUniStr255(current);
    if (!withExtension) {
        const qsizetype dot = whole.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0) whole.truncate(dot);
    }
    *name = whole;
    return kNoErr;
}

bool IsSameSuffixUnicode(const HFSUniStr255& name, const char* suffix) {
    if (!suffix) return false;
    const QString wanted = QString::fromUtf8(suffix);
    const qsizetype length = std::min<qsizetype>(name.length, 255);
    if (length < wanted.size()) return false;
    const QStringView tail(name.unicode + length - wanted.size(), wanted.size());
    return tail.compare(wanted, Qt::CaseInsensitive) == 0;
}

bool IsCommandPeriod() {
    return KeyboardCommandPeriodPressed();
}
