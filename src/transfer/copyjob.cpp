// SPDX-License-Identifier: GPL-3.0-or-later
// copyjob.cpp - sending movies to the device: free space, the copy thread and one file's copy.
#include "transfer/copyjob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QString>

#include "container/movie.h"
#include "convert/convert.h"
#include "fsquery/fsquery.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "movielist/opening.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "toolkit/fiber.h"
#include "toolkit/localized.h"
#include "toolkit/unmount.h"
#include "toolkit/volumes.h"
#include "transfer/device.h"
#include "transfer/naming.h"
#include "transfer/progress.h"
#include "transfer/transferglobals.h"

static constexpr size_t kPathBufferSize = 4096;

// The status of the failed call that set errno; never 0, even when the call left errno clear
// (a write that wrote nothing, say).
static int16_t FailureStatus() {
    const int16_t status = StatusFromErrno(errno);
    return status != kNoErr ? status : kIOErr;
}

// The bytes a movie takes on the device: its size when it goes as it is, the estimate of the
// converted movie when it is converted, 0 when it cannot go.
static uint64_t MovieBytesOnDevice(const OpenFileInfo& entry) {
    switch (HowSent(entry)) {
        case SendWay::kCopy:
            return entry.fileSize;
        case SendWay::kConvert:
            return uint64_t(
                std::max<int64_t>(0, EstimateConvertedBytes(entry.facts, gPref.videoKbps)));
        case SendWay::kNone:
            break;
    }
    return 0;
}

// Bytes the items will copy: the movies that can go as they were last read (a movie the PSP
// cannot play is left behind and needs no room; one that is converted counts the estimate of
// its converted size), and their thumbnails when those go along.
uint64_t BytesToSend(const std::vector<DataBrowserItemID>& items) {
    std::vector<DataBrowserItemID> sendable;
    uint64_t total = 0;
    for (DataBrowserItemID item : items) {
        const OpenFileInfo* entry = FindOpenFileInfo(item);
        if (!entry || entry->sent || !IsSendableMovie(*entry)) continue;
        sendable.push_back(item);
        total += MovieBytesOnDevice(*entry);
    }
    const int count = int(sendable.size());
    if (gPref.optionThumbnail) total += GetOpenFileTotalThumbnailSize(sendable.data(), count);
    return total;
}

// The device's volume, from gPref.devicePath.
static int16_t DeviceVolume(FSVolumeRefNum* volume) {
    FSRef root;
    if (const int16_t status = FSPathMakeRef(gPref.devicePath, &root); status != kNoErr)
        return status;
    return FSGetVRefNum(&root, volume);
}

bool CheckFreeSpace(DataBrowserItemState itemState) {
    // A volume whose free space cannot be read is taken to have none.
    uint64_t freeBytes = 0;
    FSVolumeRefNum volume = 0;
    if (DeviceVolume(&volume) != kNoErr ||
        FSGetVInfo(volume, nullptr, &freeBytes, nullptr) != kNoErr)
        freeBytes = 0;
    std::vector<DataBrowserItemID> items;
    (void)GetDataBrowserItems(GetDataBrowserControl(nullptr), kDataBrowserNoItem, false, itemState,
                              &items);
    const uint64_t needed = BytesToSend(items);
    // Subtracting keeps a huge total from wrapping around.
    if (freeBytes >= kFreeSpaceReserve && freeBytes - kFreeSpaceReserve >= needed) return true;
    // The reserve is part of what must be free.
    const uint64_t wanted =
        needed > UINT64_MAX - kFreeSpaceReserve ? UINT64_MAX : needed + kFreeSpaceReserve;
    DoDiskFullMessage(wanted, freeBytes);
    return false;
}

int16_t SendToPSP(DataBrowserItemState itemState) {
    gCopyParam.itemState = itemState;
    ThreadID thread = kNoThreadID;
    if (const int16_t status = NewThread(ThreadCopyProc, &gCopyParam, 0, &thread); status != 0) {
        DoMessage(kAlertStop, QStringLiteral("NewThreadErr"), status);
        return status;
    }
    gThreadID = thread;
    (void)ProgressStart(FrontWindow());
    return 0;
}

// Why the last conversion failed, in plain words, for the message at the end of the send.
static QString gConvertCause;
// A failed conversion's status: the message names its cause (gConvertCause).
static constexpr int16_t kConvertFailedErr = -1;

int16_t PlaceUnderFreeNumber(DataBrowserItemID item, const FSRef& movie, const FSRef& folder,
                             const char* prefix, bool convert, int32_t* number) {
    for (;; ++*number) {
        const QString name = CreatePSPStyleFileName(prefix, *number, ".MP4");
        if (name.isNull()) return kDupFNErr;
        const HFSUniStr255 unicodeName = HFSUniStr255FromQString(name);
        const int16_t status = convert ? ConvertFile(item, &folder, &unicodeName)
                                       : CopyFile(&movie, &folder, &unicodeName);
        if (status != kDupFNErr) return status;
    }
}

// Copies one movie, or converts it when `convert`, under the first free number from `number`
// on, and its thumbnail under the same number when it goes along. 0 when the movie is on the
// device; else the failed copy's status, -48 when every number up to the last one is taken.
static int16_t CopyMovie(DataBrowserItemID item, const FSRef& folder, const char* prefix,
                         int32_t number, bool convert) {
    const OpenFileInfo* listed = FindOpenFileInfo(item);
    if (!listed) return kFnfErr;
    const FSRef movie = listed->fileRef;
    if (const int16_t status = PlaceUnderFreeNumber(item, movie, folder, prefix, convert, &number);
        status != kNoErr)
        return status;
    // The copy yielded: the entry is looked up again, and may have gone meanwhile.
    const OpenFileInfo* entry = FindOpenFileInfo(item);
    if (entry && gPref.optionThumbnail && entry->hasThumbnail) {
        const FSRef thumbnail = entry->thumbnailRef;
        const HFSUniStr255 name =
            HFSUniStr255FromQString(CreatePSPStyleFileName(prefix, number, ".THM"));
        // The movie counts as sent whether or not its thumbnail made it.
        (void)CopyFile(&thumbnail, &folder, &name);
    }
    return kNoErr;
}

QString CopyFailureString(int16_t status) {
    switch (status) {
        case kFnfErr:
            return MovieErrorString(MovieError::noSuchFile);
        case kAfpAccessDenied:
            return MovieErrorString(MovieError::permissionDenied);
        case kDskFulErr:
            return LocalizedString(QStringLiteral("no room on the PSP"));
        case kWPrErr:
            return LocalizedString(QStringLiteral("the PSP is read-only"));
        case kDupFNErr:
            return LocalizedString(QStringLiteral("no free file number on the PSP"));
        case kConvertFailedErr:
            return LocalizedString(QStringLiteral("the conversion failed: %1")).arg(gConvertCause);
        default:
            return LocalizedString(QStringLiteral("the copy failed (error code %1)")).arg(status);
    }
}

// The movies a send leaves behind, each with its reason, told in one message at the end.
struct NotSent {
    std::vector<MovieFailure> movies;

    void Add(const OpenFileInfo& entry, const QString& reason) {
        movies.push_back({QStringFromHFSUniStr255(entry.fileName), reason});
    }
    // The items from `first` on that the job did not reach: each with its own reason when it
    // could not have gone anyway, else `reason`.
    void AddUnreached(const std::vector<DataBrowserItemID>& items, int32_t first, bool backwards,
                      const QString& reason) {
        for (int32_t n = first; n < int32_t(items.size()); ++n) {
            const OpenFileInfo* entry =
                FindOpenFileInfo(items[size_t(backwards ? int32_t(items.size()) - 1 - n : n)]);
            if (!entry || entry->sent) continue;
            Add(*entry, IsSendableMovie(*entry) ? reason : MovieKindString(*entry));
        }
    }
};

void* ThreadCopyProc(void* param) {
    const DataBrowserItemState itemState = static_cast<CopyParam*>(param)->itemState;
    ControlRef browser = GetDataBrowserControl(nullptr);
    DataBrowserSortOrder order = kDataBrowserOrderIncreasing;
    (void)GetDataBrowserSortOrder(browser, &order);
    std::vector<DataBrowserItemID> items;
    // The first failure of the list itself; the removals report their own.
    int16_t listStatus =
        int16_t(GetDataBrowserItems(browser, kDataBrowserNoItem, false, itemState, &items));
    gCopyTotal = int32_t(items.size());
    gTotalSize = BytesToSend(items);
    gCopyCount = 0;
    gCurrentSize = 0;

    // An increasing list is worked from its end. A movie that cannot go is left behind and the
    // job goes on with the next; only what makes every later copy fail too (a full device, no
    // folder for the movies, a cancel) ends it.
    const bool backwards = order == kDataBrowserOrderIncreasing;
    NotSent notSent;
    int32_t sentCount = 0;
    bool cancelled = false;
    for (int32_t n = 0; n < gCopyTotal; ++n) {
        const DataBrowserItemID item = items[size_t(backwards ? gCopyTotal - 1 - n : n)];
        gCopyCount += 1;
        gCopyFileIndex = GetOpenFileInfo(item);
        if (gCopyFileIndex < 0) continue;  // gone from the list meanwhile
        if (FindOpenFileInfo(item)->sent) continue;
        // What is sent is the file as it is now, which may have changed since it was added.
        if (RefreshOpenFileInfo(item))
            (void)UpdateDataBrowserItems(browser, kDataBrowserNoItem, 1, &item,
                                         kDataBrowserItemNoProperty, kDataBrowserItemNoProperty);
        const OpenFileInfo& entry = *FindOpenFileInfo(item);
        if (!IsSendableMovie(entry)) {
            notSent.Add(entry, MovieKindString(entry));
            continue;
        }
        // A converted movie is H.264 and goes where AVC movies go.
        const bool convert = HowSent(entry) == SendWay::kConvert;
        const int32_t kind = convert ? kMovieTypeAvc1 : entry.movieType;
        const uint64_t doneBefore = gCurrentSize;
        const uint64_t movieBytes = MovieBytesOnDevice(entry);
        gCopyConverting = convert;
        FSRef folder;
        if (!GetPSPRef(gPref.devicePath, &folder, int16_t(kind))) {
            const QString reason =
                LocalizedString(QStringLiteral("the PSP's movie folder could not be made"));
            notSent.AddUnreached(items, n, backwards, reason);
            break;
        }
        int32_t number = GetMaxNumber(&folder) + 1;
        if (number > kMaxPSPFileNumber) number = 1;
        const int16_t copied =
            CopyMovie(item, folder, kind == kMovieTypeMp4v ? "M4V" : "MAQ", number, convert);
        gCopyConverting = false;
        // A conversion advanced the bar by the estimate; what it wrote is counted as that.
        if (convert) gCurrentSize = doneBefore + movieBytes;
        if (copied == kUserCanceledErr) {
            cancelled = true;
            break;
        }
        if (copied == kDskFulErr) {
            // Nothing more fits.
            notSent.AddUnreached(items, n, backwards, CopyFailureString(copied));
            break;
        }
        // The copy yielded: the entry is looked up again, and may have gone meanwhile.
        OpenFileInfo* copiedEntry = FindOpenFileInfo(item);
        if (!copiedEntry) continue;
        if (copied != kNoErr) {
            notSent.Add(*copiedEntry, CopyFailureString(copied));
            continue;
        }
        copiedEntry->sent = true;
        ++sentCount;
        const int16_t removed = int16_t(RemoveListItem(browser, item));
        if (listStatus == kNoErr) listStatus = removed;
    }

    // A cancel is the user's own doing: nothing to tell, and nothing to celebrate.
    if (!cancelled) DoSendFailureMessage(notSent.movies);
    bool unmounted = false;
    if (!cancelled && notSent.movies.empty() && listStatus == kNoErr) {
        (void)PlaySound(gPref.copyDoneSound);
        if (gPref.optionUnmount) {
            FSVolumeRefNum volume = 0;
            int16_t status = DeviceVolume(&volume);
            if (status == kNoErr) status = UnmountVolume(volume);
            if (status != kNoErr) DoMessage(kAlertStop, QStringLiteral("UnmountErr"), status);
            unmounted = status == kNoErr;
        }
    }
    if (!cancelled)
        (void)NotifySendDone(sentCount, QString::fromStdString(VolumeLabel(gPref.devicePath)),
                             unmounted);
    gThreadID = 0;
    return nullptr;
}

// One file

// How much written data may wait in the page cache behind the write position. Without a limit
// a slow stick would take gigabytes into memory at disk speed, and the bar would run ahead of
// the device by all of them. Writeback is started in steps of a few blocks, so that the worker
// is not asked once more for every block.
static constexpr off_t kWriteBehindWindow = 32 * 1024 * 1024;
static constexpr off_t kWriteBehindStep = 4 * 1024 * 1024;

struct WriteBehind {
    off_t started = 0;  // writeback has been started for everything before this
    off_t flushed = 0;  // everything before this is on the device
    bool supported = true;
};

// Starts writing what was written since the last step and waits for what lies more than the
// window behind the end, then drops that from the cache. A file system without range syncs is
// left to the final fsync.
static int16_t FlushBehind(int fd, off_t end, WriteBehind* state) {
    if (!state->supported || end - state->started < kWriteBehindStep) return kNoErr;
    const off_t started = state->started;
    const off_t flushed = state->flushed;
    const off_t upTo = std::max(flushed, end - kWriteBehindWindow);
    const ssize_t result = ThreadCall([=]() -> ssize_t {
        if (sync_file_range(fd, started, end - started, SYNC_FILE_RANGE_WRITE) != 0) return -1;
        if (upTo == flushed) return 0;
        if (sync_file_range(fd, flushed, upTo - flushed,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                SYNC_FILE_RANGE_WAIT_AFTER) != 0)
            return -1;
        (void)posix_fadvise(fd, flushed, upTo - flushed, POSIX_FADV_DONTNEED);
        return 0;
    });
    if (result < 0) {
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == ESPIPE) {
            state->supported = false;
            return kNoErr;
        }
        return FailureStatus();
    }
    state->started = end;
    state->flushed = upTo;
    return kNoErr;
}

// Block by block until a read delivers nothing. A failed read is a failure, not the end.
static int16_t CopyData(int in, int out, char* buffer) {
    off_t written = 0;
    WriteBehind writeBehind;
    for (;;) {
        if (gCopyCancelRequest) return kUserCanceledErr;
        const ssize_t got = ThreadRead(in, buffer, kCopyBlockSize);
        if (got < 0) return FailureStatus();
        if (got > 0) {
            if (ThreadWrite(out, buffer, size_t(got)) != got) return FailureStatus();
            written += got;
            if (const int16_t status = FlushBehind(out, written, &writeBehind); status != kNoErr)
                return status;
        }
        (void)YieldToAnyThread();
        gCurrentSize += uint64_t(got);
        if (got == 0) return kNoErr;
    }
}

// The access and modification dates of the source, taken before the copy reads it (which would
// move its access date); Linux keeps no other date that can be set. False when unreadable.
static bool ReadDates(const FSRef* source, timespec dates[2]) {
    FSCatalogInfo info;
    if (FSGetCatalogInfo(source, kFSCatInfoContentMod | kFSCatInfoAccessDate, &info, nullptr) !=
        kNoErr)
        return false;
    dates[0] = info.accessDate;
    dates[1] = info.contentModDate;
    return true;
}

// Makes the new file's name itself durable, off the GUI thread.
static int16_t SyncDeviceFolder(const std::string& folderPath) {
    return int16_t(ThreadCall([&]() -> ssize_t { return SyncFolder(folderPath); }));
}

static bool IsPlainName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

// The path of a new file of this name in the folder, and the folder's own path: kParamErr for a
// name that is not one plain file name, kPathTooLongErr for a path too long to use.
static int16_t NewFilePath(const FSRef* folder, const HFSUniStr255& name, std::string* folderPath,
                           std::string* path) {
    const QByteArray fileName = QStringFromHFSUniStr255(name).toUtf8();
    if (!IsPlainName(fileName)) return kParamErr;
    if (const int16_t status = FSRefCurrentPath(folder, folderPath); status != kNoErr)
        return status;
    *path = *folderPath;
    if (path->back() != '/') *path += '/';
    *path += fileName.toStdString();
    return path->size() < kPathBufferSize ? kNoErr : kPathTooLongErr;
}

int16_t CopyFile(const FSRef* source, const FSRef* folder, const HFSUniStr255* name) {
    if (!source || !folder || !name || !source->valid || !folder->valid) return kParamErr;
    std::string sourcePath, folderPath, path;
    if (const int16_t status = NewFilePath(folder, *name, &folderPath, &path); status != kNoErr)
        return status;
    if (const int16_t status = FSRefCurrentPath(source, &sourcePath); status != kNoErr)
        return status;

    // Every call that may wait on the device runs on the I/O worker.
    const int out = int(ThreadCall([&]() -> ssize_t {
        return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }));
    if (out < 0) return FailureStatus();  // -48 when the name exists; nothing was made
    const int in = int(
        ThreadCall([&]() -> ssize_t { return open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC); }));
    int16_t status = in < 0 ? FailureStatus() : kNoErr;
    timespec dates[2];
    const bool haveDates = ReadDates(source, dates);
    if (status == kNoErr) {
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBlockSize]);
        status = buffer ? CopyData(in, out, buffer.get()) : kMemFullErr;
    }
    if (status == kNoErr) {
        if (haveDates) (void)ThreadCall([&]() -> ssize_t { return futimens(out, dates); });
        // Only bytes on the device count as sent.
        if (ThreadCall([out]() -> ssize_t { return fsync(out); }) != 0) status = FailureStatus();
    }
    if (in >= 0) (void)ThreadCall([in]() -> ssize_t { return close(in); });
    // A FUSE volume may report a failed write only when the file is closed.
    if (ThreadCall([out]() -> ssize_t { return close(out); }) != 0 && status == kNoErr)
        status = FailureStatus();
    if (status == kNoErr) status = SyncDeviceFolder(folderPath);
    if (status != kNoErr) (void)ThreadCall([&]() -> ssize_t { return unlink(path.c_str()); });
    return status;
}

// A conversion

// The title the converted movie carries: the list's, else the file's name without its ending.
static QString ConvertedTitle(const OpenFileInfo& entry) {
    if (entry.title && !entry.title->isEmpty()) return *entry.title;
    QString name = QStringFromHFSUniStr255(entry.fileName);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) name.truncate(dot);
    return name;
}

static bool BeyondBasicPlane(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
}

// What the converting thread shares with the copy thread: its progress, the cancel and the end.
struct ConversionState {
    std::atomic<double> done{0};
    std::atomic<double> total{0};
    std::atomic<bool> cancel{false};
};

static int16_t ConvertStatusToCopyStatus(const ConvertResult& result) {
    switch (result.status) {
        case ConvertStatus::kDone:
            return kNoErr;
        case ConvertStatus::kCancelled:
            return kUserCanceledErr;
        default:
            gConvertCause = QString::fromStdString(result.cause);
            return kConvertFailedErr;
    }
}

int16_t ConvertFile(DataBrowserItemID item, const FSRef* folder, const HFSUniStr255* name) {
    const OpenFileInfo* entry = FindOpenFileInfo(item);
    if (!entry || !folder || !name || !folder->valid) return kParamErr;
    std::string sourcePath, folderPath, path;
    if (const int16_t status = NewFilePath(folder, *name, &folderPath, &path); status != kNoErr)
        return status;
    if (const int16_t status = FSRefCurrentPath(&entry->fileRef, &sourcePath); status != kNoErr)
        return status;
    const QString title = ConvertedTitle(*entry);
    const uint64_t estimate = MovieBytesOnDevice(*entry);
    const uint64_t doneBefore = gCurrentSize;

    const int out = int(ThreadCall([&]() -> ssize_t {
        return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }));
    if (out < 0) return FailureStatus();  // -48 when the name exists; nothing was made

    // The encoder runs on a thread of its own (and libx264's); this thread, on the GUI's, only
    // waits for it in short steps off the GUI thread and moves the bar meanwhile.
    ConversionState state;
    ConvertRequest request;
    request.source = sourcePath;
    request.outputFd = out;
    request.title = title.toStdString();
    request.videoKbps = gPref.videoKbps;
    request.progress = [&state](double done, double total) {
        state.done.store(done, std::memory_order_relaxed);
        state.total.store(total, std::memory_order_relaxed);
    };
    request.cancel = &state.cancel;
    std::promise<ConvertResult> promise;
    std::future<ConvertResult> future = promise.get_future();
    std::thread converter([&request, &promise] { promise.set_value(ConvertForPsp(request)); });
    for (;;) {
        (void)ThreadCall([&future]() -> ssize_t {
            return future.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready;
        });
        if (gCopyCancelRequest) state.cancel.store(true);
        const double total = state.total.load(std::memory_order_relaxed);
        if (total > 0) {
            const double part =
                std::clamp(state.done.load(std::memory_order_relaxed) / total, 0.0, 1.0);
            gCurrentSize = doneBefore + uint64_t(double(estimate) * part);
        }
        if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) break;
        (void)YieldToAnyThread();
    }
    converter.join();
    int16_t status = ConvertStatusToCopyStatus(future.get());
    // Only bytes on the device count as sent.
    if (status == kNoErr && ThreadCall([out]() -> ssize_t { return fsync(out); }) != 0)
        status = FailureStatus();
    if (ThreadCall([out]() -> ssize_t { return close(out); }) != 0 && status == kNoErr)
        status = FailureStatus();
    // The conversion's metadata holds only characters of the basic plane; the container engine
    // writes the whole title.
    if (status == kNoErr && BeyondBasicPlane(title)) {
        const QByteArray utf8 = title.toUtf8();
        MovieError why = MovieError::none;
        (void)ThreadCall(
            [&]() -> ssize_t { return SetTitleWithCause(path.c_str(), utf8.constData(), &why); });
    }
    if (status == kNoErr) status = SyncDeviceFolder(folderPath);
    if (status != kNoErr) (void)ThreadCall([&]() -> ssize_t { return unlink(path.c_str()); });
    return status;
}

// Converted copies beside the movies

QString ConvertedCopyName(const QString& movieName, int attempt) {
    QString stem = movieName;
    const qsizetype dot = stem.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) stem.truncate(dot);
    const QString mark =
        attempt <= 1 ? QStringLiteral(" (PSP)") : QStringLiteral(" (PSP %1)").arg(attempt);
    return stem + mark + QStringLiteral(".mp4");
}

int16_t ConvertBesideMovies(DataBrowserItemState itemState) {
    gCopyParam.itemState = itemState;
    ThreadID thread = kNoThreadID;
    if (const int16_t status = NewThread(ThreadConvertBesideProc, &gCopyParam, 0, &thread);
        status != 0) {
        DoMessage(kAlertStop, QStringLiteral("NewThreadErr"), status);
        return status;
    }
    gThreadID = thread;
    (void)ProgressStart(FrontWindow());
    return 0;
}

// The attempts at a free name before the job gives up on a movie.
static constexpr int kConvertedNameAttempts = 999;

// Converts one movie into a free name beside it; the copy's path in *made.
static int16_t ConvertBeside(DataBrowserItemID item, std::string* made) {
    const OpenFileInfo* entry = FindOpenFileInfo(item);
    if (!entry) return kFnfErr;
    std::string path;
    if (const int16_t status = FSRefCurrentPath(&entry->fileRef, &path); status != kNoErr)
        return status;
    const std::string folderPath = path.substr(0, path.rfind('/') + 1);
    FSRef folder;
    if (const int16_t status = FSPathMakeRef(folderPath.c_str(), &folder); status != kNoErr)
        return status;
    const QString movieName = QString::fromUtf8(path.substr(folderPath.size()));
    for (int attempt = 1; attempt <= kConvertedNameAttempts; ++attempt) {
        const QString name = ConvertedCopyName(movieName, attempt);
        const HFSUniStr255 unicodeName = HFSUniStr255FromQString(name);
        const int16_t status = ConvertFile(item, &folder, &unicodeName);
        if (status == kDupFNErr) continue;
        if (status == kNoErr) *made = folderPath + name.toStdString();
        return status;
    }
    return kDupFNErr;
}

void* ThreadConvertBesideProc(void* param) {
    const DataBrowserItemState itemState = static_cast<CopyParam*>(param)->itemState;
    ControlRef browser = GetDataBrowserControl(nullptr);
    std::vector<DataBrowserItemID> items;
    (void)GetDataBrowserItems(browser, kDataBrowserNoItem, false, itemState, &items);
    gCopyTotal = int32_t(items.size());
    gTotalSize = 0;
    for (DataBrowserItemID item : items)
        if (const OpenFileInfo* entry = FindOpenFileInfo(item); entry && entry->haveFacts)
            gTotalSize += MovieBytesOnDevice(*entry);
    gCopyCount = 0;
    gCurrentSize = 0;

    std::vector<MovieFailure> failures;
    for (int32_t n = 0; n < gCopyTotal; ++n) {
        const DataBrowserItemID item = items[size_t(n)];
        gCopyCount += 1;
        gCopyFileIndex = GetOpenFileInfo(item);
        if (gCopyFileIndex < 0) continue;
        if (RefreshOpenFileInfo(item))
            (void)UpdateDataBrowserItems(browser, kDataBrowserNoItem, 1, &item,
                                         kDataBrowserItemNoProperty, kDataBrowserItemNoProperty);
        const OpenFileInfo& entry = *FindOpenFileInfo(item);
        const QString name = QStringFromHFSUniStr255(entry.fileName);
        // A movie FFmpeg cannot read cannot be converted, whatever the container engine says.
        if (!entry.haveFacts || !IsSendableMovie(entry)) {
            failures.push_back(
                {name, entry.haveFacts
                           ? MovieKindString(entry)
                           : LocalizedString(QStringLiteral("cannot be converted: %1"))
                                 .arg(QString::fromStdString(entry.facts.cannotConvert))});
            continue;
        }
        const uint64_t doneBefore = gCurrentSize;
        const uint64_t movieBytes = MovieBytesOnDevice(entry);
        gCopyConverting = true;
        std::string made;
        const int16_t status = ConvertBeside(item, &made);
        gCopyConverting = false;
        gCurrentSize = doneBefore + movieBytes;
        if (status == kUserCanceledErr) break;
        if (status != kNoErr) {
            failures.push_back(
                {name, status == kDupFNErr
                           ? LocalizedString(QStringLiteral("a converted copy could not be named"))
                           : CopyFailureString(status)});
            continue;
        }
        // The copy is an ordinary movie of the list.
        FSRef ref;
        const int index = CountOpenFileInfo();
        if (FSPathMakeRef(made.c_str(), &ref) == kNoErr &&
            CreateOpenFileInfo(&ref, index) == kNoErr)
            (void)DoOpenFile(index);
    }
    if (!gCopyCancelRequest) DoConvertFailureMessage(failures);
    gThreadID = 0;
    return nullptr;
}
