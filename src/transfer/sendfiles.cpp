// SPDX-License-Identifier: GPL-3.0-or-later
// sendfiles.cpp - the window-free send: named files read into entries, the room checked, and
// each movie copied with the copy job's file copy and the device's naming.
#include "transfer/sendfiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <set>
#include <utility>

#include "container/movieerror.h"
#include "fsquery/fsquery.h"
#include "movielist/movielist.h"
#include "shared/entries.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "toolkit/fileref.h"
#include "toolkit/localized.h"
#include "toolkit/unmount.h"
#include "transfer/copyjob.h"
#include "transfer/device.h"
#include "transfer/naming.h"
#include "transfer/transferglobals.h"

static constexpr size_t kPathBufferSize = 4096;

std::vector<std::string> FindPSPVolumes() {
    std::vector<std::string> found;
    std::vector<FSRef> volumes;
    int count = 0;
    if (FSGetMountedVolumes(&volumes, &count) != kNoErr) return found;
    for (const FSRef& volume : volumes) {
        char path[kPathBufferSize];
        if (FSRefMakePath(&volume, path, sizeof path) != kNoErr || !IsPSP(path)) continue;
        std::string root(path);
        if (root.back() != '/') root += '/';
        found.push_back(std::move(root));
    }
    return found;
}

static QString Words(MovieError error) {
    return QString::fromUtf8(MovieErrorText(error));
}

// Why a named file gave no entry: it is not there, not readable, not a movie file, or a folder
// without movies.
static QString NoEntryReason(const std::string& file) {
    struct stat info;
    if (stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Words(MovieError::noSuchFile);
        if (errno == EACCES) return Words(MovieError::permissionDenied);
        return Words(MovieError::ioError);
    }
    if (S_ISDIR(info.st_mode)) return QStringLiteral("no MP4 movies in the folder");
    if (!S_ISREG(info.st_mode)) return Words(MovieError::notRegularFile);
    return Words(MovieError::notAMovie);
}

// The items of the movies the files name, in their order; a file named twice counts once.
// Files that give none are told in the job's results at once.
static std::vector<DataBrowserItemID> ReadFiles(SendFilesJob* job,
                                                std::vector<size_t>* resultOfItem) {
    std::vector<DataBrowserItemID> items;
    std::set<std::pair<dev_t, ino_t>> given;
    for (const std::string& file : job->files) {
        struct stat info;
        if (stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            !given.insert({info.st_dev, info.st_ino}).second)
            continue;
        const int before = CountOpenFileInfo();
        FSRef ref;
        if (FSPathMakeRef(file.c_str(), &ref) == kNoErr)
            (void)CreateOpenFileInfoFromChoice(&ref, before);
        const int after = CountOpenFileInfo();
        if (after == before) {
            job->results.push_back({file, false, {}, false, NoEntryReason(file)});
            continue;
        }
        // A movie is told by the name it was given by, a folder's movies by their paths.
        const bool folder = stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        for (int index = before; index < after; ++index) {
            const OpenFileInfo& entry = (*gOpenFile)[size_t(index)];
            items.push_back(entry.itemID);
            resultOfItem->push_back(job->results.size());
            job->results.push_back({folder ? entry.path : file, false, {}, false, {}});
        }
    }
    return items;
}

// Copies the movie under the first free number from `number` on, and its thumbnail under the
// same number when it goes along. The copy's status; -48 when every number is taken.
static int16_t SendMovie(DataBrowserItemID item, const OpenFileInfo& entry, const FSRef& folder,
                         const char* prefix, int32_t number, bool convert, SendFileResult* result) {
    const FSRef movie = entry.fileRef;
    const bool withThumbnail = gPref.optionThumbnail && entry.hasThumbnail;
    const FSRef thumbnail = entry.thumbnailRef;
    if (const int16_t status = PlaceUnderFreeNumber(item, movie, folder, prefix, convert, &number);
        status != kNoErr)
        return status;
    std::string folderPath = folder.path;
    if (folderPath.back() != '/') folderPath += '/';
    result->destination = folderPath + CreatePSPStyleFileName(prefix, number, ".MP4").toStdString();
    if (withThumbnail) {
        const HFSUniStr255 thumbnailName =
            HFSUniStr255FromQString(CreatePSPStyleFileName(prefix, number, ".THM"));
        // The movie counts as sent whether or not its thumbnail made it.
        result->thumbnailSent = CopyFile(&thumbnail, &folder, &thumbnailName) == kNoErr;
    }
    return kNoErr;
}

// The device's volume number, from its root.
static int16_t RootVolume(const std::string& root, FSVolumeRefNum* volume) {
    FSRef ref;
    if (const int16_t status = FSPathMakeRef(root.c_str(), &ref); status != kNoErr) return status;
    return FSGetVRefNum(&ref, volume);
}

// False (with the sizes in the job) when the movies that can go do not fit beside the reserve.
static bool HasRoom(SendFilesJob* job, const std::vector<DataBrowserItemID>& items) {
    uint64_t freeBytes = 0;
    FSVolumeRefNum volume = 0;
    if (RootVolume(job->deviceRoot, &volume) != kNoErr ||
        FSGetVInfo(volume, nullptr, &freeBytes, nullptr) != kNoErr)
        freeBytes = 0;
    const uint64_t needed = BytesToSend(items);
    if (freeBytes >= kFreeSpaceReserve && freeBytes - kFreeSpaceReserve >= needed) return true;
    job->noRoom = true;
    job->bytesNeeded =
        needed > UINT64_MAX - kFreeSpaceReserve ? UINT64_MAX : needed + kFreeSpaceReserve;
    job->bytesFree = freeBytes;
    return false;
}

static void SendAll(SendFilesJob* job) {
    std::vector<size_t> resultOf;
    const std::vector<DataBrowserItemID> items = ReadFiles(job, &resultOf);
    gPref.optionThumbnail = job->thumbnails;
    gCopyTotal = int32_t(items.size());
    gCopyCount = 0;
    gCurrentSize = 0;
    gTotalSize = BytesToSend(items);
    // Once a movie cannot go for a reason that holds for every later one too, each of those is
    // told that reason (or its own, when it could not have gone anyway).
    auto leaveRest = [&](size_t from, const QString& reason) {
        for (size_t n = from; n < items.size(); ++n) {
            const OpenFileInfo* entry = FindOpenFileInfo(items[n]);
            job->results[resultOf[n]].reason =
                IsSendableMovie(*entry) ? reason : MovieKindString(*entry);
        }
    };
    if (!HasRoom(job, items)) {
        leaveRest(0, LocalizedString(QStringLiteral("no room on the PSP")));
        return;
    }
    for (size_t n = 0; n < items.size(); ++n) {
        gCopyCount += 1;
        gCopyFileIndex = GetOpenFileInfo(items[n]);
        SendFileResult& result = job->results[resultOf[n]];
        const OpenFileInfo& entry = *FindOpenFileInfo(items[n]);
        if (gCopyCancelRequest) {
            job->cancelled = true;
            leaveRest(n, LocalizedString(QStringLiteral("cancelled")));
            return;
        }
        if (!IsSendableMovie(entry)) {
            result.reason = MovieKindString(entry);
            continue;
        }
        // A converted movie is H.264 and goes where AVC movies go.
        const bool convert = HowSent(entry) == SendWay::kConvert;
        const int32_t kind = convert ? kMovieTypeAvc1 : entry.movieType;
        FSRef folder;
        if (!GetPSPRef(job->deviceRoot.c_str(), &folder, int16_t(kind))) {
            leaveRest(n,
                      LocalizedString(QStringLiteral("the PSP's movie folder could not be made")));
            return;
        }
        int32_t number = GetMaxNumber(&folder) + 1;
        if (number > kMaxPSPFileNumber) number = 1;
        const int16_t copied =
            SendMovie(items[n], entry, folder, kind == kMovieTypeMp4v ? "M4V" : "MAQ", number,
                      convert, &result);
        if (copied == kUserCanceledErr) {
            job->cancelled = true;
            leaveRest(n, LocalizedString(QStringLiteral("cancelled")));
            return;
        }
        if (copied == kDskFulErr) {
            leaveRest(n, CopyFailureString(copied));
            return;
        }
        if (copied != kNoErr) {
            result.reason = CopyFailureString(copied);
            continue;
        }
        result.sent = true;
        FindOpenFileInfo(items[n])->sent = true;
    }

    bool allSent = true;
    for (const SendFileResult& result : job->results) allSent = allSent && result.sent;
    if (job->unmount && allSent) {
        FSVolumeRefNum volume = 0;
        int16_t status = RootVolume(job->deviceRoot, &volume);
        if (status == kNoErr) status = UnmountVolume(volume);
        job->unmounted = status == kNoErr;
        job->unmountStatus = status;
    }
}

void* ThreadSendFilesProc(void* param) {
    auto* job = static_cast<SendFilesJob*>(param);
    SendAll(job);
    DisposeOpenFileInfo();
    job->finished = true;
    return nullptr;
}
