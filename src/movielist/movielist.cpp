// SPDX-License-Identifier: GPL-3.0-or-later
// movielist.cpp - the movie entries: adding files and folder walks, lookup, removal, totals.
#include "movielist/movielist.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "container/movie.h"
#include "convert/decision.h"
#include "fsquery/fsquery.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "toolkit/localized.h"

// The arrays grow by doubling from this many, so that adding a folder of thousands of movies
// moves each entry a few times rather than once per addition.
static constexpr size_t kFirstCapacity = 64;

static bool IsListed(const FSRef* ref, int count) {
    return FindListedOpenFile(*ref, count) >= 0;
}

// Makes room for one more element in both arrays, so that the additions after it cannot fail.
// On failure both arrays are as they were.
static bool ReserveOneMore() {
    const bool madeList = !gOpenFile;
    const bool madeIDs = !gOpenFileID;
    if (madeList) gOpenFile = new (std::nothrow) std::vector<OpenFileInfo>();
    if (madeIDs) gOpenFileID = new (std::nothrow) std::vector<uint32_t>();
    bool reserved = gOpenFile && gOpenFileID;
    if (reserved) {
        try {
            if (gOpenFileID->size() == gOpenFileID->capacity())
                gOpenFileID->reserve(std::max(kFirstCapacity, 2 * gOpenFileID->capacity()));
            if (gOpenFile->size() == gOpenFile->capacity())
                gOpenFile->reserve(std::max(kFirstCapacity, 2 * gOpenFile->capacity()));
        } catch (const std::bad_alloc&) {
            reserved = false;
        }
    }
    if (!reserved) {
        if (madeList) {
            delete gOpenFile;
            gOpenFile = nullptr;
        }
        if (madeIDs) {
            delete gOpenFileID;
            gOpenFileID = nullptr;
        }
        return false;
    }
    // IDs left behind by DisposeOpenFileInfo name entries that are gone.
    if (madeList) {
        gOpenFileID->clear();
        ClearOpenFileRefIndex();
    }
    return true;
}

static bool FindThumbnailAt(const std::string& folder, const std::string& name,
                            OpenFileInfo* entry) {
    FSRef ref;
    FSCatalogInfo info;
    if (FSMakeItemRef(folder, name, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, &ref, &info) !=
            kNoErr ||
        !info.isRegularFile)
        return false;
    entry->hasThumbnail = true;
    entry->thumbnailRef = std::move(ref);
    entry->thumbnailSize = info.dataLogicalSize;
    return true;
}

// The companion beside the movie: its path with ".THM" for its ending (".mp4", ".mpeg", ...).
// Names are matched exactly here, so a companion copied from a file system that ignores case,
// where ".thm" was found as ".THM", is looked for too.
static void FindThumbnail(OpenFileInfo* entry) {
    const size_t slash = entry->path.rfind('/');
    const std::string folder = slash == 0 ? "/" : entry->path.substr(0, slash);
    const std::string file = entry->path.substr(slash + 1);
    const std::string stem = file.substr(0, file.rfind('.'));
    if (!FindThumbnailAt(folder, stem + ".THM", entry))
        FindThumbnailAt(folder, stem + ".thm", entry);
}

// What a catalog query asks for to tell whether a movie's file has changed.
static constexpr uint32_t kChangeInfo = kFSCatInfoDataSizes | kFSCatInfoContentMod;

// Title, kind and why it cannot go, from one open and one parse of the file; the size and date
// that tell a later change, from the catalog query made just before.
// An other video is read by FFmpeg alone; an MP4 by the container engine, and by FFmpeg for
// the limits its video may break.
static void ReadMovie(const char* path, const FSCatalogInfo& catalog, OpenFileInfo* entry) {
    entry->facts = ReadVideoFacts(path);
    entry->haveFacts = entry->facts.video != VideoCoding::kNone;
    if (entry->otherVideo) {
        if (!entry->titleEdited) {
            entry->title.reset();
            if (!entry->facts.title.empty())
                entry->title = QString::fromStdString(entry->facts.title);
        }
        entry->movieType = kMovieTypeOther;
        entry->readError = MovieError::none;
        entry->hasVideo = entry->haveFacts;
        memset(entry->videoCoding, 0, sizeof entry->videoCoding);
    } else {
        MovieSummary summary = ReadMovieSummary(path);
        entry->title.reset();
        if (summary.title) entry->title = QString::fromStdString(*summary.title);
        entry->movieType = summary.kind;
        entry->readError = summary.error;
        entry->hasVideo = summary.hasVideo;
        memcpy(entry->videoCoding, summary.coding, sizeof entry->videoCoding);
    }
    entry->fileSize = catalog.dataLogicalSize;
    entry->modDate = catalog.contentModDate;
}

// What a folder walk knows of an item from its listing: its name and the path it has now.
struct ListedItem {
    const HFSUniStr255* name;
    const std::string* path;
};

static int AddMovie(const FSRef* ref, int count, const FSCatalogInfo& catalog,
                    const ListedItem* listed = nullptr) {
    if (lastID == std::numeric_limits<uint32_t>::max()) return kMemFullErr;
    if (IsListed(ref, count)) return kDupFNErr;
    HFSUniStr255 name;
    if (listed)
        name = *listed->name;
    else if (FSGetFileDirName(ref, &name) != kNoErr)
        return kDupFNErr;
    const VideoEnding ending = VideoEndingOf(name);
    if (ending == VideoEnding::kNone) return kDupFNErr;
    // A device or pipe named like a movie would block the reads that follow.
    if (!catalog.isRegularFile) return kDupFNErr;
    // A longer path would be cut, and then name another file or none.
    char path[kMoviePathBufferSize];
    if (listed) {
        if (listed->path->size() + 1 > sizeof path) return kDupFNErr;
        memcpy(path, listed->path->c_str(), listed->path->size() + 1);
    } else if (FSRefMakePath(ref, path, sizeof path) != kNoErr) {
        return kDupFNErr;
    }
    if (!ReserveOneMore()) return kMemFullErr;

    try {
        OpenFileInfo entry;
        entry.itemID = lastID + 1;
        entry.fileRef = *ref;
        entry.fileName = name;
        entry.path = path;
        entry.pathString = QString::fromUtf8(path);
        entry.otherVideo = ending == VideoEnding::kOther;
        ReadMovie(path, catalog, &entry);
        FindThumbnail(&entry);
        // Both arrays have room: neither addition can throw, so they stay in step.
        gOpenFile->push_back(std::move(entry));
        gOpenFileID->push_back(gOpenFile->back().itemID);
    } catch (const std::bad_alloc&) {
        return kMemFullErr;
    }
    lastID += 1;
    if (!IndexOpenFileRef(lastID)) {
        // Listed but not found by its file, it could be added twice: taken out again.
        (void)RemoveOpenFileInfos(&lastID, 1);
        return kMemFullErr;
    }
    return kNoErr;
}

// The user asked to stop: true once they confirmed.
static bool StopAsked() {
    if (!IsCommandPeriod() || ConfirmAlert(kQuestionStopOpen) != kAlertDefaultButton) return false;
    gStopOpen = true;
    return true;
}

static int AddFolder(const FSRef* folder);

// One item of a folder walk, as CreateOpenFileInfo would add it with the whole list searched,
// but from what the listing says: an item that is no folder and has no video ending would be
// refused for its name, so it is passed over without a look at its file; every other item is
// examined once. While IDs last; when they are out every item is examined, for the refusal that
// ends the walk comes before the name is looked at.
static int AddListedItem(const std::string& folderPath, const FolderName& item) {
    if (gStopOpen || StopAsked()) return kNoErr;
    const HFSUniStr255 name = HFSUniStr255FromUtf8Name(item.name);
    const bool mayBeFolder = item.kind == DT_DIR || item.kind == DT_UNKNOWN;
    if (!mayBeFolder && lastID != std::numeric_limits<uint32_t>::max() &&
        VideoEndingOf(name) == VideoEnding::kNone)
        return kDupFNErr;
    FSRef ref;
    FSCatalogInfo catalog;
    // An item that cannot be examined (gone since it was listed, a link that leads nowhere) is
    // passed over: one such item must not take the rest of the folder with it.
    if (FSMakeItemRef(folderPath, item.name, kFSCatInfoNodeFlags | kChangeInfo, &ref, &catalog) !=
        kNoErr)
        return kDupFNErr;
    if (catalog.nodeFlags & kFSNodeIsDirectoryMask) return AddFolder(&ref);
    const ListedItem listed{&name, &ref.path};
    return AddMovie(&ref, CountOpenFileInfo(), catalog, &listed);
}

// The walk never follows the links it meets (see AddObject).
static int AddFolder(const FSRef* folder) {
    std::string path;
    std::vector<FolderName> items;
    bool changed = false;
    if (FSGetDirectoryNames(folder, &path, &items, &changed) != kNoErr) return kDupFNErr;
    for (const FolderName& item : items) {
        if (gStopOpen) break;
        const int status = AddListedItem(path, item);
        if (status != kNoErr && status != kDupFNErr) return status;
    }
    return kDupFNErr;
}

// A link to a folder is walked only when walkLinkedFolder says so; the walk itself never
// follows the links it meets, so that a link to a folder above cannot make it endless.
static int AddObject(const FSRef* ref, int count, bool walkLinkedFolder) {
    if (gStopOpen || StopAsked()) return kNoErr;
    // What cannot be asked about is tried as a folder, whose listing then fails as well. The
    // one query also gives what a movie's entry keeps to notice later changes.
    FSCatalogInfo catalog;
    if (FSGetCatalogInfo(ref, kFSCatInfoNodeFlags | kChangeInfo, &catalog, nullptr) != kNoErr ||
        (catalog.nodeFlags & kFSNodeIsDirectoryMask) || (walkLinkedFolder && catalog.opensFolder))
        return AddFolder(ref);
    return AddMovie(ref, count, catalog);
}

int CreateOpenFileInfo(const FSRef* ref, int count) {
    return AddObject(ref, count, false);
}

int CreateOpenFileInfoFromChoice(const FSRef* ref, int count) {
    return AddObject(ref, count, true);
}

static bool SameDate(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A movie whose file has gone: it keeps its title and size, and cannot go.
static bool MarkGone(OpenFileInfo* entry) {
    if (entry->readError == MovieError::noSuchFile) return false;
    entry->movieType = kMovieTypeOther;
    entry->readError = MovieError::noSuchFile;
    return true;
}

bool RefreshOpenFileInfo(uint32_t itemID) {
    OpenFileInfo* found = FindOpenFileInfo(itemID);
    if (!found) return false;
    OpenFileInfo& entry = *found;
    FSCatalogInfo catalog;
    std::string path;
    if (FSGetCatalogInfo(&entry.fileRef, kChangeInfo, &catalog, nullptr) == kNoErr) {
        if (catalog.dataLogicalSize == entry.fileSize &&
            SameDate(catalog.contentModDate, entry.modDate) &&
            entry.readError != MovieError::noSuchFile)
            return false;
        if (FSRefCurrentPath(&entry.fileRef, &path) != kNoErr) return MarkGone(&entry);
    } else {
        // Rewritten through a copy that was renamed over it, by another program, or replaced.
        FSRef replaced;
        if (FSPathMakeRef(entry.path.c_str(), &replaced) != kNoErr ||
            FSGetCatalogInfo(&replaced, kFSCatInfoNodeFlags | kChangeInfo, &catalog, nullptr) !=
                kNoErr ||
            !catalog.isRegularFile)
            return MarkGone(&entry);
        entry.fileRef = std::move(replaced);
        (void)IndexOpenFileRef(itemID);
        path = entry.path;
    }
    ReadMovie(path.c_str(), catalog, &entry);
    return true;
}

VideoEnding VideoEndingOf(const HFSUniStr255& name) {
    // Made once: a folder walk asks this of every name it lists.
    static const QString kMp4 = QStringLiteral(".mp4");
    static const QString kOtherEndings[] = {
        QStringLiteral(".m4v"),  QStringLiteral(".mov"),  QStringLiteral(".mkv"),
        QStringLiteral(".avi"),  QStringLiteral(".webm"), QStringLiteral(".mpg"),
        QStringLiteral(".mpeg"), QStringLiteral(".ts"),   QStringLiteral(".3gp")};
    if (IsSameSuffixUnicode(name, kMp4)) return VideoEnding::kMp4;
    for (const QString& ending : kOtherEndings)
        if (IsSameSuffixUnicode(name, ending)) return VideoEnding::kOther;
    return VideoEnding::kNone;
}

static Playback Verdict(const OpenFileInfo& entry) {
    return DecidePlayback(entry.facts, gPref.firmware330).verdict;
}

SendWay HowSent(const OpenFileInfo& entry) {
    if (entry.readError == MovieError::noSuchFile) return SendWay::kNone;
    const Playback verdict = entry.haveFacts ? Verdict(entry) : Playback::kCannotConvert;
    if (entry.otherVideo)
        return verdict == Playback::kCannotConvert ? SendWay::kNone : SendWay::kConvert;
    if (verdict == Playback::kNeedsConverting) return SendWay::kConvert;
    // What FFmpeg could not read goes as the container engine sees it, as it always has.
    if (entry.movieType == kMovieTypeMp4v || entry.movieType == kMovieTypeAvc1)
        return SendWay::kCopy;
    return verdict == Playback::kPlaysAsIs ? SendWay::kConvert : SendWay::kNone;
}

bool IsSendableMovie(const OpenFileInfo& entry) {
    return HowSent(entry) != SendWay::kNone;
}

// Why FFmpeg cannot make a PSP movie of an other video.
static QString CannotConvertString(const OpenFileInfo& entry) {
    if (entry.readError == MovieError::noSuchFile) return MovieErrorString(entry.readError);
    std::string why = entry.facts.cannotConvert;
    if (why.empty()) {
        const PlaybackDecision decision = DecidePlayback(entry.facts, gPref.firmware330);
        if (!decision.reasons.empty()) why = decision.reasons.front();
    }
    return LocalizedString(QStringLiteral("cannot be converted: %1"))
        .arg(QString::fromStdString(why));
}

QString MovieKindString(const OpenFileInfo& entry) {
    const SendWay way = HowSent(entry);
    if (way == SendWay::kConvert) return LocalizedString(QStringLiteral("will be converted"));
    if (way == SendWay::kNone && entry.otherVideo) return CannotConvertString(entry);
    switch (entry.movieType) {
        case kMovieTypeMp4v:
            return QStringLiteral("MPEG-4");
        case kMovieTypeAvc1:
            return QStringLiteral("AVC");
        default:
            return UnplayableMovieString(entry.readError, entry.hasVideo, entry.videoCoding);
    }
}

int16_t RemoveOpenFileInfo(uint32_t itemID) {
    return RemoveOpenFileInfos(&itemID, 1) == 1 ? kNoErr : kParamErr;
}
