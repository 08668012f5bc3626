// SPDX-License-Identifier: GPL-3.0-or-later
// movie.cpp - the title operations on a movie file, its video kind, and the movie list's summary.
#include "container/movie.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "container/list.h"
#include "container/moviefile.h"
#include "container/track.h"

using TitleEdit = int (*)(UuidInfo* uuid, const char* title);

static void seedTempNames() {
    // Seeding from the clock and then with a constant makes the temporary names repeat from run
    // to run; the retry on an existing name keeps that safe.
    srand(unsigned(time(nullptr)));
    srand(1);
}

// The start of every operation: open and parse. Null with the cause in *why when the file cannot
// be opened or is not a movie.
static FILE* openMovie(const char* path, MovieAccess access, MovieInfo** info, MovieError* why) {
    seedTempNames();
    *info = nullptr;
    FILE* stream = OpenMovieStream(path, access, why);
    if (!stream) return nullptr;
    *info = GetMovieInfo(stream, nullptr);
    if (!*info) {
        fclose(stream);
        *why = MovieError::notAMovie;
        return nullptr;
    }
    return stream;
}

static void closeMovie(FILE* stream, MovieInfo* info) {
    FreeMovieInfo(info, nullptr);
    if (stream) fclose(stream);
}

// The title of a parsed movie, or null with the cause.
static char* readTitle(FILE* stream, MovieInfo* info, MovieError* why) {
    UuidInfo uuid{};
    char* title = nullptr;
    if (uuidParse(stream, info, &uuid) != 0)
        *why = MovieError::ioError;
    else if (!uuid.found)
        *why = MovieError::noMetadata;
    else if (!(title = uuidGetTitle(&uuid)))
        *why = MovieError::noTitle;
    uuidFree(&uuid.box);
    return title;
}

char* GetTitleWithCause(const char* path, MovieError* why) {
    MovieError ignored;
    if (!why) why = &ignored;
    MovieInfo* info;
    FILE* stream = openMovie(path, MovieAccess::read, &info, why);
    if (!stream) return nullptr;
    *why = MovieError::none;
    char* title = readTitle(stream, info, why);
    closeMovie(stream, info);
    return title;
}

char* GetTitle(const char* path) {
    return GetTitleWithCause(path, nullptr);
}

// The video coding of a parsed movie: the profile atom decides where it names one, else the
// first video track. 0, kUuidNotFound without either, kAtomErr when reading fails.
static int readCoding(FILE* stream, MovieInfo* info, char* out, bool* hasVideo) {
    char code[4];
    int status = uuidReadVPRF(stream, info, code);
    if (status == kUuidNotFound) status = trackReadVideoCoding(stream, info, code);
    *hasVideo = status == 0;
    if (status == 0) memcpy(out, code, 4);
    return status;
}

void GetMovieType(const char* path, char* out) {
    MovieInfo* info;
    MovieError why;
    FILE* stream = openMovie(path, MovieAccess::read, &info, &why);
    if (!stream) return;
    // Whatever four bytes the profile names; a video track's only when it has a sample entry.
    // Every failure leaves `out` as it was, which is what the caller tests for.
    char code[4];
    const int status = uuidReadVPRF(stream, info, code);
    if (status == 0 || (status == kUuidNotFound && trackReadVideoCoding(stream, info, code) == 0 &&
                        memcmp(code, "\0\0\0\0", 4) != 0))
        memcpy(out, code, 4);
    closeMovie(stream, info);
}

// The 32-bit size of "moov" must still hold it once the metadata atom inside has changed; a
// 64-bit one, or one that runs to the end of the file and is rewritten in place, always does.
static bool moovCanGrow(const AtomInfo* moov, int32_t growth, bool inPlace) {
    const int64_t size = int64_t(moov->size) + growth;
    if (moov->headerSize == 16 || (moov->toFileEnd && inPlace)) return size >= 16;
    return size >= 8 && size <= int64_t(UINT32_MAX);
}

// "YYYY/MM/DD HH:MM:SS" of the movie's last change, for the date entry of a new metadata atom.
static void movieDate(FILE* stream, char* out, size_t size) {
    struct stat st;
    const time_t when = fstat(fileno(stream), &st) == 0 ? st.st_mtime : time(nullptr);
    struct tm local;
    if (!localtime_r(&when, &local) || strftime(out, size, "%Y/%m/%d %H:%M:%S", &local) == 0)
        snprintf(out, size, "2000/01/01 00:00:00");
}

// A new metadata atom for a movie without one, as the last child of "moov", in the file only
// once stored: in place when "moov" ends the file, else by the copy. Null when memory is short.
static AtomInfo* addMetadataAtom(FILE* stream, MovieInfo* info, UuidInfo* uuid) {
    AtomInfo* atom = NewAtomInfo();
    if (!atom) return nullptr;
    memcpy(atom->type, "uuid", 4);
    atom->headerSize = 8;
    char date[32];
    movieDate(stream, date, sizeof date);
    if (!uuidCreate(uuid, atom, date)) {
        free(atom);
        return nullptr;
    }
    atom->offset = AtomEnd(info->moov);
    uuid->atFileEnd = atom->offset == info->fileLength;
    AttachHireListToChildTail(atom, info->moov);
    return atom;
}

static int setTitleEdit(UuidInfo* uuid, const char* title) {
    return uuidSetTitle(uuid, title);
}

static int fixTitleEdit(UuidInfo* uuid, const char*) {
    return uuidFixBadTitle(uuid);
}

// Stores the edited atom in place or through the copy; the file was checked to nest.
static MovieError storeEdit(FILE* stream, const char* path, MovieInfo* info, UuidInfo* uuid,
                            bool* streamClosed) {
    if (!moovCanGrow(info->moov, uuid->growth, uuid->atFileEnd)) return MovieError::titleTooLong;
    info->moov->size += uint64_t(int64_t(uuid->growth));
    uuid->atom->size += uint64_t(int64_t(uuid->growth));
    MovieError why = MovieError::none;
    if (uuid->atFileEnd) {
        if (rewriteUuid(stream, path, info, uuid, &why) != 0) return why;
    } else {
        *streamClosed = true;
        if (reorderAtoms(stream, info, uuid, path, &why) != 0) return why;
    }
    return MovieError::none;
}

// Parses the movie, lets `edit` change the user-metadata atom in memory (answering like
// uuidSetTitle) and stores the result. A movie without the atom is given one when `mayAdd`.
// *edited is set to 1 when a change was stored.
static MovieError storeTitleEdit(const char* path, TitleEdit edit, const char* title, bool mayAdd,
                                 int* edited) {
    MovieInfo* info;
    MovieError why;
    FILE* stream = openMovie(path, MovieAccess::write, &info, &why);
    if (!stream) return why;

    UuidInfo uuid{};
    why = MovieError::none;
    bool streamClosed = false;
    if (uuidParse(stream, info, &uuid) != 0) {
        why = MovieError::ioError;
    } else if (!uuid.found && !(mayAdd && edit)) {
        why = MovieError::noMetadata;
    } else if (!uuid.found && !addMetadataAtom(stream, info, &uuid)) {
        why = MovieError::noMemory;
    } else if (const int changed = edit ? edit(&uuid, title) : 0; changed == kUuidTitleTooLong) {
        why = MovieError::titleTooLong;
    } else if (changed == 1) {
        // Reading goes on where atoms do not nest, but a rewrite would carry the damage into
        // sizes that no longer match their content; nothing is written to such a movie.
        if (!AtomsNest(info)) {
            why = MovieError::damaged;
        } else {
            why = storeEdit(stream, path, info, &uuid, &streamClosed);
            if (why == MovieError::none && edited) *edited = 1;
        }
    }
    // Anything else (nothing to write) leaves the file untouched and succeeds.
    uuidFree(&uuid.box);
    closeMovie(streamClosed ? nullptr : stream, info);
    return why;
}

static int answer(MovieError cause, MovieError* why) {
    if (why) *why = cause;
    return cause == MovieError::none ? 0 : 1;
}

int SetTitleWithCause(const char* path, const char* title, MovieError* why) {
    if (title && !utf8IsValid(reinterpret_cast<const unsigned char*>(title), strlen(title)))
        return answer(MovieError::invalidTitle, why);
    return answer(storeTitleEdit(path, title ? setTitleEdit : nullptr, title, true, nullptr), why);
}

int SetTitle(const char* path, const char* title) {
    return SetTitleWithCause(path, title, nullptr);
}

int FixBadTitle(const char* path, int* repaired) {
    if (repaired) *repaired = 0;
    return answer(storeTitleEdit(path, fixTitleEdit, nullptr, false, repaired), nullptr);
}

int MovieKindOfCoding(const char* coding) {
    if (memcmp(coding, "mp4v", 4) == 0) return kMovieKindMpeg4;
    if (memcmp(coding, "avc1", 4) == 0) return kMovieKindAvc;
    return kMovieKindNone;
}

std::string VideoCodingName(const char* coding) {
    static const struct {
        char code[5];
        const char* name;
    } kNames[] = {{"hvc1", "H.265"},  {"hev1", "H.265"},  {"avc1", "AVC"},    {"avc3", "AVC"},
                  {"mp4v", "MPEG-4"}, {"mp2v", "MPEG-2"}, {"mp1v", "MPEG-1"}, {"av01", "AV1"},
                  {"vp09", "VP9"},    {"vp08", "VP8"},    {"s263", "H.263"},  {"jpeg", "JPEG"}};
    for (const auto& n : kNames)
        if (memcmp(coding, n.code, 4) == 0) return n.name;
    std::string letters;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(coding[i]);
        letters += c >= 0x20 && c < 0x7F ? char(c) : '?';
    }
    return letters;
}

std::string MovieSummaryProblem(const MovieSummary& summary) {
    if (summary.error != MovieError::none) return MovieErrorText(summary.error);
    if (summary.kind != kMovieKindNone) return "";
    if (!summary.hasVideo) return "no video track";
    if (memcmp(summary.coding, "\0\0\0\0", 4) == 0) return "not a PSP video format";
    return "not a PSP video format: " + VideoCodingName(summary.coding);
}

MovieSummary ReadMovieSummary(const char* path) {
    MovieSummary summary;
    MovieInfo* info;
    FILE* stream = openMovie(path, MovieAccess::read, &info, &summary.error);
    if (!stream) return summary;
    summary.error = MovieError::none;
    MovieError ignored;
    if (char* title = readTitle(stream, info, &ignored)) {
        summary.title = title;
        free(title);
    }
    if (readCoding(stream, info, summary.coding, &summary.hasVideo) == 0)
        summary.kind = MovieKindOfCoding(summary.coding);
    closeMovie(stream, info);
    return summary;
}
