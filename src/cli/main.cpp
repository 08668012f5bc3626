// main.cpp - moviestick-cli: shows the atom tree, title and video coding of a PSP movie and sets
// its title, for scripts.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "container/atom.h"
#include "container/movie.h"
#include "container/uuid.h"
#include "cli/thumb.h"

static const char kUsage[] =
    "usage: moviestick-cli tree FILE          print the atom tree\n"
    "       moviestick-cli title FILE         print the title\n"
    "       moviestick-cli title FILE TEXT    set the title\n"
    "       moviestick-cli type FILE          print the video coding (mp4v, avc1)\n"
    "       moviestick-cli thumb FILE [SECONDS]\n"
    "                                         write FILE's .THM thumbnail beside it from the\n"
    "                                         frame at SECONDS (default: 10 % into the movie)\n"
    "       moviestick-cli --help             show this help\n";

static constexpr int kExitFailure = 1;
static constexpr int kExitUsage = 2;

// How far a file gets on the way to a title, as the title operations see it.
enum class Found { nothingOpened, notAMovie, noMetadata, metadata };

static int fail(const char* path, const char* why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path, why);
    return kExitFailure;
}

static int usageError(const char* why) {
    fprintf(stderr, "moviestick-cli: %s\n%s", why, kUsage);
    return kExitUsage;
}

// Opens and parses the file the way the title operations do, to tell why one gave up. With a
// title, *tooLong says whether the metadata atom could hold it. errno is kept for
// nothingOpened.
static Found inspect(const char* path, const char* title, bool* tooLong) {
    FILE* stream = fopen(path, "r+b");
    if (!stream) return Found::nothingOpened;
    MovieInfo* info = GetMovieInfo(stream, nullptr);
    Found found = Found::notAMovie;
    if (info) {
        UuidInfo uuid{};
        found =
            uuidParse(stream, info, &uuid) == 0 && uuid.found ? Found::metadata : Found::noMetadata;
        if (found == Found::metadata && title && tooLong)
            *tooLong = uuidSetTitle(&uuid, title) == kUuidTitleTooLong;
        uuidFree(&uuid.box);
        FreeMovieInfo(info, nullptr);
    }
    fclose(stream);
    return found;
}

static int failCannotOpen(const char* path, const char* how) {
    char why[512];
    snprintf(why, sizeof why, "cannot open for %s: %s", how, strerror(errno));
    return fail(path, why);
}

static int printTree(const char* path) {
    FILE* stream = fopen(path, "rb");
    if (!stream) return failCannotOpen(path, "reading");
    MovieInfo* info = GetMovieInfo(stream, nullptr);
    fclose(stream);
    if (!info) return fail(path, "not an MP4 movie");
    PrintAtomTree(info);
    FreeMovieInfo(info, nullptr);
    return 0;
}

static int printTitle(const char* path) {
    char* title = GetTitle(path);
    if (title) {
        printf("%s\n", title);
        free(title);
        return 0;
    }
    switch (inspect(path, nullptr, nullptr)) {
        case Found::nothingOpened:
            return failCannotOpen(path, "reading and writing");
        case Found::notAMovie:
            return fail(path, "not an MP4 movie");
        case Found::noMetadata:
            return fail(path, "no PSP metadata");
        case Found::metadata:
            break;
    }
    return fail(path, "no title");
}

static int setTitle(const char* path, const char* title) {
    if (SetTitle(path, title) == 0) return 0;
    bool tooLong = false;
    switch (inspect(path, title, &tooLong)) {
        case Found::nothingOpened:
            return failCannotOpen(path, "reading and writing");
        case Found::notAMovie:
            return fail(path, "not an MP4 movie");
        case Found::noMetadata:
            return fail(path, "no PSP metadata, so the title cannot be set");
        case Found::metadata:
            break;
    }
    return fail(path, tooLong ? "title too long" : "could not rewrite the movie");
}

// Reads the profile directly rather than through GetMovieType, so that a read-only movie
// still answers and a missing profile can be told from a file that is no movie.
static int printType(const char* path) {
    FILE* stream = fopen(path, "rb");
    if (!stream) return failCannotOpen(path, "reading");
    MovieInfo* info = GetMovieInfo(stream, nullptr);
    char code[4];
    int status = info ? uuidReadVPRF(stream, info, code) : kUuidNotFound;
    FreeMovieInfo(info, nullptr);
    fclose(stream);
    if (!info) return fail(path, "not an MP4 movie");
    if (status == kUuidNotFound) return fail(path, "no video coding in a PSP profile");
    if (status != 0) return fail(path, "cannot read the PSP profile");
    printf("%.4s\n", code);
    return 0;
}

static int run(int argc, char** argv) {
    if (argc < 2) return usageError("no command given");
    const char* command = argv[1];
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0) {
        if (argc != 2) return usageError("--help takes no arguments");
        fputs(kUsage, stdout);
        return 0;
    }
    if (strcmp(command, "tree") == 0 && argc == 3) return printTree(argv[2]);
    if (strcmp(command, "title") == 0 && argc == 3) return printTitle(argv[2]);
    if (strcmp(command, "title") == 0 && argc == 4) return setTitle(argv[2], argv[3]);
    if (strcmp(command, "type") == 0 && argc == 3) return printType(argv[2]);
    if (strcmp(command, "thumb") == 0 && (argc == 3 || argc == 4))
        return MakeThumbnailCommand(argv[2], argc == 4 ? argv[3] : nullptr);

    char why[256];
    if (strcmp(command, "tree") == 0 || strcmp(command, "title") == 0 ||
        strcmp(command, "type") == 0 || strcmp(command, "thumb") == 0)
        snprintf(why, sizeof why, "wrong number of arguments for '%s'", command);
    else
        snprintf(why, sizeof why, "unknown command '%s'", command);
    return usageError(why);
}

int main(int argc, char** argv) {
    int status = run(argc, argv);
    // A script reading the output must not take a cut-off title for the whole one.
    if (fflush(stdout) != 0 && status == 0) {
        fprintf(stderr, "moviestick-cli: cannot write the output: %s\n", strerror(errno));
        status = kExitFailure;
    }
    return status;
}
