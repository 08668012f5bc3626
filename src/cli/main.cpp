// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - moviestick-cli: the atom tree, title, video coding and PSP folder of movies, and
// their titles set, for scripts.
//
// This program links only the container engine and the C and C++ libraries, so that it starts
// in a few milliseconds. The commands that decode or encode video are run by a helper, which it
// execs with the same arguments: thumb by moviestick-cli-thumb (FFmpeg's decoders and Qt's
// images), convert and send by moviestick-cli-media (and the rest of Qt).
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/args.h"
#include "container/atom.h"
#include "container/movie.h"
#include "container/moviefile.h"

using nlohmann::json;

static int fail(const std::string& path, const std::string& why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path.c_str(), why.c_str());
    return kExitFailure;
}

// The PSP's folder for each kind of movie, under the memory stick's root.
static const char* folderOfKind(int kind) {
    switch (kind) {
        case kMovieKindMpeg4:
            return "MP_ROOT/100MNV01";
        case kMovieKindAvc:
            return "MP_ROOT/101ANV01";
        default:
            return nullptr;
    }
}

static json codingOfKind(const MovieSummary& summary) {
    if (summary.kind == kMovieKindNone) return nullptr;
    return std::string(summary.coding, 4);
}

static json orNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

static void printJson(const json& document) {
    // A file name that is not UTF-8 must not lose the whole document.
    const std::string text = document.dump(2, ' ', false, json::error_handler_t::replace);
    fputs(text.c_str(), stdout);
    fputc('\n', stdout);
}

// The prefix that tells whose line it is when there are several files.
static std::string lead(const ParsedCommand& parsed, const std::string& path) {
    return parsed.files.size() > 1 ? path + ": " : "";
}

static int tree(const ParsedCommand& parsed) {
    int status = kExitOk;
    bool first = true;
    for (const std::string& path : parsed.files) {
        MovieError why;
        FILE* stream = OpenMovieStream(path.c_str(), MovieAccess::read, &why);
        MovieInfo* info = stream ? GetMovieInfo(stream, nullptr) : nullptr;
        if (stream) fclose(stream);
        if (!info) {
            status = fail(path, MovieErrorText(stream ? MovieError::notAMovie : why));
            continue;
        }
        if (parsed.files.size() > 1) printf("%s%s:\n", first ? "" : "\n", path.c_str());
        first = false;
        PrintAtomTree(info);
        FreeMovieInfo(info, nullptr);
    }
    return status;
}

static std::string baseNameWithoutEnding(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

static int setTitles(const ParsedCommand& parsed) {
    int status = kExitOk;
    const bool fromName = parsed.has("--from-name");
    for (const std::string& path : parsed.files) {
        const std::string title = fromName ? baseNameWithoutEnding(path) : parsed.value("--set");
        MovieError why;
        if (SetTitleWithCause(path.c_str(), title.c_str(), &why) != 0)
            status = fail(path, MovieErrorText(why));
    }
    return status;
}

static int titles(const ParsedCommand& parsed) {
    if (parsed.has("--set") || parsed.has("--from-name")) return setTitles(parsed);
    int status = kExitOk;
    json document = json::array();
    for (const std::string& path : parsed.files) {
        MovieError why;
        char* title = GetTitleWithCause(path.c_str(), &why);
        if (parsed.has("--json")) {
            const MovieSummary summary = ReadMovieSummary(path.c_str());
            document.push_back({{"file", path},
                                {"title", title ? json(title) : json(nullptr)},
                                {"kind", codingOfKind(summary)},
                                {"error", title ? json(nullptr) : json(MovieErrorText(why))}});
        } else if (title) {
            printf("%s%s\n", lead(parsed, path).c_str(), title);
        }
        if (!title) status = fail(path, MovieErrorText(why));
        free(title);
    }
    if (parsed.has("--json")) printJson(document);
    return status;
}

// type and check: the kind rules, as the movie list applies them.
static int kinds(const ParsedCommand& parsed, bool check) {
    int status = kExitOk;
    json document = json::array();
    for (const std::string& path : parsed.files) {
        const MovieSummary summary = ReadMovieSummary(path.c_str());
        const std::string problem = MovieSummaryProblem(summary);
        const char* folder = folderOfKind(summary.kind);
        if (parsed.has("--json")) {
            json entry = {{"file", path},
                          {"title", summary.title ? json(*summary.title) : json(nullptr)},
                          {"kind", codingOfKind(summary)},
                          {"error", orNull(problem)}};
            if (check) entry["folder"] = folder ? json(folder) : json(nullptr);
            document.push_back(entry);
        } else if (problem.empty() && check) {
            printf("%s: goes to %s (%s)\n", path.c_str(), folder,
                   VideoCodingName(summary.coding).c_str());
        } else if (problem.empty()) {
            printf("%s%.4s\n", lead(parsed, path).c_str(), summary.coding);
        }
        if (!problem.empty())
            status = fail(path, check ? "cannot go to a PSP: " + problem : problem);
    }
    if (parsed.has("--json")) printJson(document);
    return status;
}

// The helpers: installed (and built) in libexec/moviestick beside bin/.
static std::string helperPath(const char* name) {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    std::string path(self, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    path.resize(slash == std::string::npos ? 0 : slash);
    return path + "/../libexec/moviestick/" + name;
}

static int runHelper(const char* name, int argc, char** argv) {
    const std::string helper = helperPath(name);
    std::vector<char*> args(argv, argv + argc);
    args[0] = const_cast<char*>(helper.c_str());
    args.push_back(nullptr);
    fflush(stdout);
    execv(helper.c_str(), args.data());
    fprintf(stderr, "moviestick-cli: cannot run %s: %s\n", helper.c_str(), strerror(errno));
    return kExitFailure;
}

static int run(int argc, char** argv) {
    if (argc < 2) return UsageError(nullptr, "no command given");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "--version") {
        if (argc != 2) return UsageError(nullptr, command + " takes no arguments");
        if (command == "--version")
            printf("moviestick-cli %s\n", MOVIESTICK_VERSION);
        else
            fputs(FullHelp().c_str(), stdout);
        return kExitOk;
    }
    const CommandDef* def = FindCommand(command);
    if (!def) return UsageError(nullptr, "unknown command '" + command + "'");

    ParsedCommand parsed;
    if (int status = kExitOk; !PrepareCommand(*def, argc, argv, &parsed, &status)) return status;

    if (def->helper) return runHelper(def->helper, argc, argv);
    if (command == "tree") return tree(parsed);
    if (command == "title") return titles(parsed);
    return kinds(parsed, command == "check");
}

int main(int argc, char** argv) {
    int status = run(argc, argv);
    // A script reading the output must not take a cut-off title for the whole one.
    if (fflush(stdout) != 0 && status == kExitOk) {
        fprintf(stderr, "moviestick-cli: cannot write the output: %s\n", strerror(errno));
        status = kExitFailure;
    }
    return status;
}
