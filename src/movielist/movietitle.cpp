// SPDX-License-Identifier: GPL-3.0-or-later
// movietitle.cpp - titles of listed movies, names read back from the file system, the ".mp4"
// suffix test and the Ctrl+period query that stops adding.
#include "movielist/movielist.h"

#include <algorithm>
#include <cstdlib>

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

// After the title was stored: a title change that copied the movie left a new file at its path,
// which the entry now names, with its new size and date, so that it is not taken for a change
// made by someone else.
static void FollowRewrite(const std::string& path, OpenFileInfo* entry) {
    FSRef rewritten;
    FSCatalogInfo catalog;
    if (FSPathMakeRef(path.c_str(), &rewritten) != kNoErr ||
        FSGetCatalogInfo(&rewritten, kFSCatInfoDataSizes | kFSCatInfoContentMod, &catalog,
                         nullptr) != kNoErr)
        return;
    entry->fileRef = std::move(rewritten);
    (void)IndexOpenFileRef(entry->itemID);
    entry->fileSize = catalog.dataLogicalSize;
    entry->modDate = catalog.contentModDate;
}

// After a failed write: the list shows the title the file holds, not the one asked for. A file
// that cannot be read at all keeps the title it was last seen with.
static void KeepFileTitle(const std::string& path, OpenFileInfo* entry) {
    MovieError cause = MovieError::none;
    char* title = GetTitleWithCause(path.c_str(), &cause);
    if (title)
        entry->title = QString::fromUtf8(title);
    else if (cause == MovieError::noMetadata || cause == MovieError::noTitle)
        entry->title.reset();
    free(title);
}

int16_t ChangeTitle(uint32_t itemID, int mode, const QString* text, MovieError* why) {
    MovieError ignored;
    if (!why) why = &ignored;
    *why = MovieError::none;
    if (mode != kChangeTitleFromFileName && mode != kChangeTitleFromText) return kNoErr;
    if (mode == kChangeTitleFromText && !text) return kParamErr;
    if (!FindOpenFileInfo(itemID)) return kParamErr;
    // The title is compared with what the file holds now.
    (void)RefreshOpenFileInfo(itemID);
    OpenFileInfo& entry = *FindOpenFileInfo(itemID);

    QString source;
    if (mode == kChangeTitleFromFileName) {
        const int16_t status = CFStringNameFromFSRef(&source, &entry.fileRef, false);
        if (status != kNoErr) {
            *why = MovieError::noSuchFile;
            return status;
        }
    } else {
        source = *text;
    }
    const QByteArray utf8 = TitleBytes(source);
    const QString candidate = QString::fromUtf8(utf8);
    if (entry.title && *entry.title == candidate) return kNoErr;
    if (entry.otherVideo) {
        entry.title = mode == kChangeTitleFromFileName ? candidate : *text;
        entry.titleEdited = true;
        return kNoErr;
    }

    const std::string path = CurrentPath(entry);
    if (SetTitleWithCause(path.c_str(), utf8.constData(), why) != 0) {
        KeepFileTitle(path, &entry);
        return kTitleNotStoredErr;
    }
    FollowRewrite(path, &entry);
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
    return suffix && IsSameSuffixUnicode(name, QString::fromUtf8(suffix));
}

bool IsSameSuffixUnicode(const HFSUniStr255& name, QStringView suffix) {
    const qsizetype length = std::min<qsizetype>(name.length, 255);
    if (length < suffix.size()) return false;
    const QStringView tail(name.unicode + length - suffix.size(), suffix.size());
    return tail.compare(suffix, Qt::CaseInsensitive) == 0;
}

bool IsCommandPeriod() {
    return KeyboardCommandPeriodPressed();
}
