// main.cpp - moviestick-cli: shows the atom tree, title and video coding of a movie and sets its
// title, for scripts.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "container/atom.h"
#include "container/movie.h"
#include "container/moviefile.h"
#include "cli/thumb.h"

static const char kUsage[] =
    "usage: moviestick-cli tree FILE          print the atom tree\n"
    "       moviestick-cli title FILE         print the title\n"
    "       moviestick-cli title FILE TEXT    set the title\n"
    "       moviestick-cli type FILE          print the video coding the PSP plays (mp4v, avc1)\n"
    "       moviestick-cli thumb FILE [SECONDS]\n"
    "                                         write FILE's .THM thumbnail beside it from the\n"
    "                                         frame at SECONDS (default: 10 % into the movie)\n"
    "       moviestick-cli --help             show this help\n";

static constexpr int kExitFailure = 1;
static constexpr int kExitUsage = 2;

static int fail(const char* path, const char* why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path, why);
    return kExitFailure;
}

static int fail(const char* path, MovieError why) { return fail(path, MovieErrorText(why)); }

static int usageError(const char* why) {
    fprintf(stderr, "moviestick-cli: %s\n%s", why, kUsage);
    return kExitUsage;
}

static int printTree(const char* path) {
    MovieError why;
    FILE* stream = OpenMovieStream(path, MovieAccess::read, &why);
    if (!stream) return fail(path, why);
    MovieInfo* info = GetMovieInfo(stream, nullptr);
    fclose(stream);
    if (!info) return fail(path, MovieError::notAMovie);
    PrintAtomTree(info);
    FreeMovieInfo(info, nullptr);
    return 0;
}

static int printTitle(const char* path) {
    MovieError why;
    char* title = GetTitleWithCause(path, &why);
    if (!title) return fail(path, why);
    printf("%s\n", title);
    free(title);
    return 0;
}

static int setTitle(const char* path, const char* title) {
    MovieError why;
    return SetTitleWithCause(path, title, &why) == 0 ? 0 : fail(path, why);
}

// The coding of a movie the PSP can play; for any other, the words the movie list shows.
static int printType(const char* path) {
    const MovieSummary summary = ReadMovieSummary(path);
    const std::string problem = MovieSummaryProblem(summary);
    if (!problem.empty()) return fail(path, problem.c_str());
    printf("%.4s\n", summary.coding);
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
