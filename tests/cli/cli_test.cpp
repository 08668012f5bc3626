// SPDX-License-Identifier: GPL-3.0-or-later
// cli_test.cpp - runs moviestick-cli on built movies: exit codes, output and messages.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QImage>
#include <nlohmann/json.hpp>

#include "container/atom_builder.h"
#include "container/movie.h"
#include "support/fat_image.h"
#include "support/test_movies.h"

using namespace mp4test;

namespace {

struct Result {
    int exitCode;
    std::string out;
    std::string err;
};

// Everything a program wrote to its terminal, read until it closed it; the terminal is closed.
std::string ReadTerminalUntilClosed(int terminal) {
    std::string seen;
    char buffer[4096];
    ssize_t got;
    while ((got = read(terminal, buffer, sizeof buffer)) > 0) seen.append(buffer, size_t(got));
    close(terminal);
    return seen;
}

class CliTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string movie = dir.file("movie.mp4");

    Result cli(const std::vector<std::string>& args) {
        const std::string outPath = dir.file("stdout"), errPath = dir.file("stderr");
        pid_t pid = fork();
        if (pid == 0) {
            alarm(20);
            if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr))
                _exit(127);
            std::vector<char*> argv{const_cast<char*>(MOVIESTICK_CLI)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(MOVIESTICK_CLI, argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        Bytes out = readFile(outPath), err = readFile(errPath);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
                std::string(err.begin(), err.end())};
    }

    // Exit 1, nothing on stdout, and one line on stderr that names the file and says `why`.
    void expectFailure(const std::vector<std::string>& args, const std::string& file,
                       const std::string& why) {
        SCOPED_TRACE(args[0] + " " + why);
        Result r = cli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("moviestick-cli: " + file + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
};

Bytes ftypAtom() {
    return box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")}));
}

Bytes movieWith(const Bytes& moovChildren, const Bytes& topLevel = {}) {
    return cat({ftypAtom(), topLevel, box("mdat", Bytes(32, 0x42)),
                box("moov", cat({box("mvhd", Bytes(100, 0)), moovChildren}))});
}

TEST_F(CliTest, HelpGoesToStdout) {
    for (const char* flag : {"--help", "-h"}) {
        Result r = cli({flag});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("usage: moviestick-cli tree FILE", 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(CliTest, BadUsageExitsWithTwo) {
    const std::vector<std::vector<std::string>> calls = {
        {},
        {"rename", movie},
        {"tree"},
        {"type", movie, "--x"},
        {"title", "--set", "a", "--from-name", movie},
        {"--help", "tree"},
        {"--version", "tree"},
        {"title", "--json", "--set", "a", movie},
        {"title", movie, "--set"},
        {"check", "--json=yes", movie},
        {"thumb", "-o", "x.THM", movie, movie},
        {"convert", "-o", "x.mp4", movie, movie},
        {"convert", "--at", "1", movie}};
    for (const auto& args : calls) {
        Result r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("moviestick-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    }
}

TEST_F(CliTest, TreePrintsEveryAtomWithOffsetAndSize) {
    writeFile(movie, cat({ftypAtom(),
                          container("moov", {box("mvhd", Bytes(12, 0)),
                                             container("udta", {box("cprt", Bytes(4, 0))})}),
                          box("mdat", Bytes(8, 0))}));
    Result r = cli({"tree", movie});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "root\n"
              "+'ftyp'\toffset = 0(0x0)\tsize = 24(0x18)\n"
              "+'moov'\toffset = 24(0x18)\tsize = 48(0x30)\n"
              "++'mvhd'\toffset = 32(0x20)\tsize = 20(0x14)\n"
              "++'udta'\toffset = 52(0x34)\tsize = 20(0x14)\n"
              "+++'cprt'\toffset = 60(0x3c)\tsize = 12(0xc)\n"
              "+'mdat'\toffset = 72(0x48)\tsize = 16(0x10)\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, TitleRoundTrip) {
    writeFile(movie, movieWith(usmtWithTitle(u"Old")));
    EXPECT_EQ(cli({"title", movie}).out, "Old\n");

    Result set = cli({"title", "--set", "Caf\xC3\xA9 \xE2\x9C\x93", movie});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "");
    Result get = cli({"title", movie});
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_EQ(get.out, "Caf\xC3\xA9 \xE2\x9C\x93\n");
}

TEST_F(CliTest, ReadingFailuresSayWhy) {
    const std::string missing = dir.file("missing.mp4");
    const std::string text = dir.file("notes.mp4");
    writeFile(text, ascii("just some text, not a movie"));
    const std::string bare = dir.file("bare.mp4");
    writeFile(bare, movieWith({}));
    const std::string untitled = dir.file("untitled.mp4");
    writeFile(untitled, movieWith(usmt({{3, {0, 0, 0, 0}, utf16be(u"a")},
                                        {4, {0, 0, 0, 0}, utf16be(u"b")},
                                        {5, {0, 0, 0, 0}, be32(1)},
                                        {6, {0, 0, 0, 0}, be32(1)}})));

    expectFailure({"title", missing}, missing, "no such file");
    expectFailure({"title", text}, text, "not an MP4 movie");
    expectFailure({"title", bare}, bare, "no PSP metadata");
    expectFailure({"title", untitled}, untitled, "no title");
    expectFailure({"tree", missing}, missing, "no such file");
    expectFailure({"tree", text}, text, "not an MP4 movie");
    expectFailure({"type", text}, text, "not an MP4 movie");
    expectFailure({"type", bare}, bare, "no video track");
}

TEST_F(CliTest, SettingFailuresSayWhy) {
    const std::string text = dir.file("notes.mp4");
    writeFile(text, ascii("just some text, not a movie"));
    const std::string bare = dir.file("bare.mp4");
    writeFile(bare, movieWith({}));
    writeFile(movie, movieWith(usmtWithTitle(u"Old")));
    // A chunk table whose size disagrees with its count, in a movie that needs the copy.
    const std::string broken = dir.file("broken.mp4");
    writeFile(broken, cat({ftypAtom(),
                           box("moov", cat({usmtWithTitle(u"Old"),
                                            box("stbl", box("stco", cat({be32(0), be32(9)})))})),
                           box("mdat", Bytes(8, 0))}));

    expectFailure({"title", "--set", "x", dir.file("missing.mp4")}, dir.file("missing.mp4"),
                  "no such file");
    expectFailure({"title", "--set", "x", text}, text, "not an MP4 movie");
    expectFailure({"title", "--set", std::string(40000, 'a'), movie}, movie,
                  "the title is too long");
    expectFailure({"title", "--set", "caf\xE9", movie}, movie, "the title is not valid UTF-8");
    expectFailure({"title", "--set", "x", broken}, broken,
                  "the movie's structure is damaged; it was not changed");
    EXPECT_EQ(cli({"title", movie}).out, "Old\n");
    // A movie without the metadata atom is given one.
    EXPECT_EQ(cli({"title", "--set", "x", bare}).exitCode, 0);
    EXPECT_EQ(cli({"title", bare}).out, "x\n");
}

TEST_F(CliTest, TitlesBeyondTheBasicPlaneRoundTrip) {
    writeFile(movie, movieWith({}));
    const std::string title =
        "D\xC3\xAD"
        "a \xF0\x9F\x8E\xAC";
    Result set = cli({"title", "--set", title, movie});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(cli({"title", movie}).out, title + "\n");
}

// Every reader answers at once for a pipe named like a movie, where opening it would wait for
// a writer; the alarm of the child turns a hang into a failure.
TEST_F(CliTest, ReadersRefuseAPipeAtOnce) {
    const std::string fifo = dir.file("x.mp4");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"tree", fifo},
                                               {"type", fifo},
                                               {"title", fifo},
                                               {"title", "--set", "x", fifo},
                                               {"thumb", fifo},
                                               {"check", fifo},
                                               {"convert", fifo}})
        expectFailure(args, fifo, "not a regular file");
}

TEST_F(CliTest, TypePrintsTheVideoCodingOrWhyThePspCannotPlayIt) {
    writeFile(movie, movieWith({}, profWithVideo("avc1")));
    Result r = cli({"type", movie});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "avc1\n");
    EXPECT_EQ(r.err, "");

    writeFile(movie, movieWith({}, profWithVideo("hvc1")));
    expectFailure({"type", movie}, movie, "not a PSP video format: H.265");
}

}  // namespace

// The thumbnail command shares the application's thumbnail code; here only that it picks the
// frame asked for, writes the file where the application would, and reports failures.
TEST_F(CliTest, ThumbWritesTheThumbnailFromTheFrameAtTheSecondsGiven) {
    ASSERT_TRUE(MakeTestMovie(movie, TestMovieOptions{}));
    const std::string thumbnail = dir.file("movie.THM");
    for (const auto& [args, frame] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"thumb", "--at", "1.55", movie}, 15},
             {{"thumb", movie}, 2},
             {{"thumb", movie, "--at=1.95"}, 19}}) {
        Result r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        const Bytes bytes = readFile(thumbnail);
        ASSERT_EQ(bytes.size(), 32768u);
        const QImage image = QImage::fromData(bytes.data(), int(bytes.size()), "JPEG");
        EXPECT_EQ(image.size(), QSize(160, 120));
        EXPECT_EQ(TestFrameNumber(image), frame);
    }
}

TEST_F(CliTest, ThumbFailuresSayWhy) {
    expectFailure({"thumb", dir.file("none.mp4")}, dir.file("none.mp4"), "no such file");
    writeFile(movie, movieWith({}));
    expectFailure({"thumb", movie}, movie, "cannot open as a movie");
    const Result notANumber = cli({"thumb", "--at", "soon", movie});
    EXPECT_EQ(notANumber.exitCode, 2);
    EXPECT_NE(notANumber.err.find("'soon' is not a number of seconds"), std::string::npos);
    EXPECT_EQ(cli({"thumb", movie, "1", "2"}).exitCode, 1);
}

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

nlohmann::json parseJson(const Result& r) {
    nlohmann::json document = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_FALSE(document.is_discarded()) << r.out;
    return document;
}

// ffmpeg's own test picture and tone, `seconds` long, with these output options.
bool MakeVideo(const std::string& path, double seconds, const std::string& options) {
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi "
        "-i sine=frequency=440 -t " +
        std::to_string(seconds) + " " + options + " '" + path + "'";
    return std::system(command.c_str()) == 0;
}

}  // namespace

TEST_F(CliTest, VersionAndEachCommandsHelpGoToStdout) {
    Result version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("moviestick-cli ", 0), 0u) << version.out;
    for (const char* command : {"tree", "title", "type", "check", "thumb", "convert"}) {
        // Help wins over everything else on the line: nothing is read or changed.
        writeFile(movie, movieWith(usmtWithTitle(u"Old")));
        Result r = cli({command, movie, "--help"});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("usage: moviestick-cli ") + command, 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(cli({"title", movie}).out, "Old\n");
    }
}

TEST_F(CliTest, SeveralFilesAreEachNamedAndOneFailureDoesNotStopTheRest) {
    const std::string first = dir.file("first.mp4"), second = dir.file("second.mp4");
    const std::string missing = dir.file("missing.mp4");
    writeFile(first, movieWith(usmtWithTitle(u"One"), profWithVideo("avc1")));
    writeFile(second, movieWith(usmtWithTitle(u"Two"), profWithVideo("mp4v")));

    Result titles = cli({"title", first, missing, second});
    EXPECT_EQ(titles.exitCode, 1);
    EXPECT_EQ(titles.out, first + ": One\n" + second + ": Two\n");
    EXPECT_EQ(titles.err, "moviestick-cli: " + missing + ": no such file\n");

    Result types = cli({"type", first, second});
    EXPECT_EQ(types.exitCode, 0) << types.err;
    EXPECT_EQ(types.out, first + ": avc1\n" + second + ": mp4v\n");

    Result trees = cli({"tree", first, second});
    EXPECT_EQ(trees.exitCode, 0) << trees.err;
    EXPECT_EQ(trees.out.rfind(first + ":\nroot\n+'ftyp'", 0), 0u) << trees.out;
    EXPECT_NE(trees.out.find("\n\n" + second + ":\nroot\n+'ftyp'"), std::string::npos) << trees.out;

    // Several files with --set: each one gets the title, the text is never taken for a file.
    Result set = cli({"title", "--set", "Both", first, second});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(cli({"title", first, second}).out, first + ": Both\n" + second + ": Both\n");

    Result fromName = cli({"title", "--from-name", first, missing, second});
    EXPECT_EQ(fromName.exitCode, 1);
    EXPECT_EQ(fromName.err, "moviestick-cli: " + missing + ": no such file\n");
    EXPECT_EQ(cli({"title", first, second}).out, first + ": first\n" + second + ": second\n");
}

TEST_F(CliTest, OptionLookingTitlesAndFileNames) {
    writeFile(movie, movieWith(usmtWithTitle(u"Old")));
    for (const std::string title : {"--help", "-o", "--", "--set=x"}) {
        Result set = cli({"title", "--set", title, movie});
        EXPECT_EQ(set.exitCode, 0) << title << set.err;
        EXPECT_EQ(cli({"title", movie}).out, title + "\n");
    }
    EXPECT_EQ(cli({"title", "--set=-x", movie}).exitCode, 0);
    EXPECT_EQ(cli({"title", movie}).out, "-x\n");

    // After "--" a name that looks like an option is a file.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    writeFile(dir.file("--json"), movieWith(usmtWithTitle(u"Dashed")));
    writeFile(dir.file("-o"), movieWith(usmtWithTitle(u"Short")));
    Result dashed = cli({"title", "--", "--json", "-o"});
    EXPECT_EQ(dashed.exitCode, 0) << dashed.err;
    EXPECT_EQ(dashed.out, "--json: Dashed\n-o: Short\n");
    EXPECT_EQ(cli({"title", "--set", "New", "--", "--json"}).exitCode, 0);
    EXPECT_EQ(cli({"title", "--", "--json"}).out, "New\n");
    Result unknown = cli({"title", "-o"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown option '-o'"), std::string::npos) << unknown.err;
    ASSERT_EQ(chdir(previous), 0);
}

TEST_F(CliTest, JsonDocumentsParseBackWithEveryFileAndItsError) {
    const std::string avc = dir.file("avc.mp4"), mpeg4 = dir.file("mpeg4.mp4");
    const std::string hevc = dir.file("hevc.mp4"), text = dir.file("notes.mp4");
    ASSERT_TRUE(MakeTestMovie(avc, TestMovieOptions{}));
    TestMovieOptions mpeg4Options;
    mpeg4Options.codec = "mpeg4";
    ASSERT_TRUE(MakeTestMovie(mpeg4, mpeg4Options));
    TestMovieOptions hevcOptions;
    hevcOptions.codec = "libx265";
    hevcOptions.extra = "-x265-params log-level=none -tag:v hvc1";
    ASSERT_TRUE(MakeTestMovie(hevc, hevcOptions));
    writeFile(text, ascii("just some text, not a movie"));
    ASSERT_EQ(cli({"title", "--set", "Caf\xC3\xA9 \"quoted\"\n", avc}).exitCode, 0);

    Result check = cli({"check", "--json", avc, mpeg4, hevc, text});
    EXPECT_EQ(check.exitCode, 1);
    const nlohmann::json entries = parseJson(check);
    ASSERT_TRUE(entries.is_array());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0]["file"], avc);
    EXPECT_EQ(entries[0]["title"], "Caf\xC3\xA9 \"quoted\"\n");
    EXPECT_EQ(entries[0]["kind"], "avc1");
    EXPECT_EQ(entries[0]["folder"], "MP_ROOT/101ANV01");
    EXPECT_TRUE(entries[0]["error"].is_null());
    EXPECT_EQ(entries[1]["kind"], "mp4v");
    EXPECT_EQ(entries[1]["folder"], "MP_ROOT/100MNV01");
    EXPECT_TRUE(entries[1]["title"].is_null());
    EXPECT_TRUE(entries[2]["kind"].is_null());
    EXPECT_TRUE(entries[2]["folder"].is_null());
    EXPECT_EQ(entries[2]["error"], "not a PSP video format: H.265");
    EXPECT_EQ(entries[3]["error"], "not an MP4 movie");
    // The failures are named on stderr too, one line each.
    EXPECT_EQ(std::count(check.err.begin(), check.err.end(), '\n'), 2) << check.err;

    Result titles = cli({"title", "--json", mpeg4, avc});
    EXPECT_EQ(titles.exitCode, 1);
    const nlohmann::json titleEntries = parseJson(titles);
    ASSERT_EQ(titleEntries.size(), 2u);
    EXPECT_EQ(titleEntries[0]["error"], "no PSP metadata");
    EXPECT_EQ(titleEntries[1]["title"], "Caf\xC3\xA9 \"quoted\"\n");
    EXPECT_TRUE(titleEntries[1]["error"].is_null());

    Result types = cli({"type", "--json", avc});
    EXPECT_EQ(types.exitCode, 0) << types.err;
    EXPECT_EQ(parseJson(types)[0]["kind"], "avc1");

    // Without --json, check says where a movie goes, and why one cannot go.
    Result plain = cli({"check", avc, hevc});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_EQ(plain.out, avc + ": goes to MP_ROOT/101ANV01 (AVC)\n");
    EXPECT_EQ(plain.err,
              "moviestick-cli: " + hevc + ": cannot go to a PSP: not a PSP video format: H.265\n");
}

TEST_F(CliTest, ThumbTakesSeveralFilesAndRefusesTimesPastTheEnd) {
    const std::string other = dir.file("other.mp4");
    ASSERT_TRUE(MakeTestMovie(movie, TestMovieOptions{}));  // 20 frames at 10 per second
    ASSERT_TRUE(MakeTestMovie(other, TestMovieOptions{}));
    Result both = cli({"thumb", "--at", "0.5", movie, other});
    EXPECT_EQ(both.exitCode, 0) << both.err;
    for (const char* name : {"movie.THM", "other.THM"}) {
        const Bytes bytes = readFile(dir.file(name));
        EXPECT_EQ(TestFrameNumber(QImage::fromData(bytes.data(), int(bytes.size()), "JPEG")), 5)
            << name;
    }

    const std::string chosen = dir.file("chosen.jpg");
    EXPECT_EQ(cli({"thumb", "-o", chosen, "--at", "1", movie}).exitCode, 0);
    const Bytes bytes = readFile(chosen);
    EXPECT_EQ(TestFrameNumber(QImage::fromData(bytes.data(), int(bytes.size()), "JPEG")), 10);

    ASSERT_EQ(unlink(dir.file("movie.THM").c_str()), 0);
    for (const char* at : {"2", "2.5", "99"}) {
        expectFailure({"thumb", "--at", at, movie}, movie, "is past the end of the movie");
        EXPECT_FALSE(exists(dir.file("movie.THM"))) << at;
    }
}

// The libraries a program maps, as ldd lists them.
std::string LinkedLibraries(const std::string& program) {
    FILE* pipe = popen(("ldd '" + program + "'").c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (!pipe) return "";
    std::string libraries;
    char line[512];
    while (fgets(line, sizeof line, pipe)) libraries += line;
    EXPECT_EQ(pclose(pipe), 0);
    return libraries;
}

// The lean program must not map the libraries that make its start slow, nor the thumbnail
// helper those it does not decode or draw with.
TEST_F(CliTest, EachProgramLinksOnlyWhatItsCommandsNeed) {
    const std::string lean = LinkedLibraries(MOVIESTICK_CLI);
    EXPECT_NE(lean.find("libc.so"), std::string::npos) << lean;
    for (const char* heavy : {"libQt", "libav", "libsw", "libboost"})
        EXPECT_EQ(lean.find(heavy), std::string::npos) << heavy << "\n" << lean;

    const std::string thumb = LinkedLibraries(MOVIESTICK_CLI_THUMB);
    EXPECT_NE(thumb.find("libavcodec"), std::string::npos) << thumb;
    for (const char* unneeded :
         {"libQt6Widgets", "libQt6UiTools", "libQt6Network", "libpulse", "libboost"})
        EXPECT_EQ(thumb.find(unneeded), std::string::npos) << unneeded << "\n" << thumb;
}

TEST_F(CliTest, ConvertWritesAPspCopyBesideEachVideoAndNeverOverAFile) {
    const std::string mkv = dir.file("clip.mkv"), avi = dir.file("old.avi");
    const std::string title =
        "D\xC3\xAD"
        "a \xF0\x9F\x8E\xAC";  // beyond the basic plane
    ASSERT_TRUE(MakeVideo(mkv, 1, "-c:v libx264 -c:a aac -metadata title='" + title + "'"));
    ASSERT_TRUE(MakeVideo(avi, 1, "-c:v mpeg4 -c:a mp3"));
    const std::string text = dir.file("notes.mkv");
    writeFile(text, ascii("just some text, not a video"));

    Result r = cli({"convert", mkv, text, avi});
    EXPECT_EQ(r.exitCode, 1);
    const std::string mkvCopy = dir.file("clip (PSP).mp4"), aviCopy = dir.file("old (PSP).mp4");
    EXPECT_EQ(r.out, mkvCopy + "\n" + aviCopy + "\n");
    EXPECT_EQ(r.err.rfind("moviestick-cli: " + text + ": ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(exists(dir.file("notes (PSP).mp4")));

    const MovieSummary copy = ReadMovieSummary(mkvCopy.c_str());
    EXPECT_EQ(copy.error, MovieError::none);
    EXPECT_EQ(copy.kind, kMovieKindAvc);
    EXPECT_EQ(copy.title.value_or("(none)"), title);
    EXPECT_EQ(ReadMovieSummary(aviCopy.c_str()).kind, kMovieKindAvc);
    EXPECT_EQ(cli({"check", mkvCopy, aviCopy}).exitCode, 0);

    // A second run leaves the first copy as it is.
    const Bytes before = readFile(mkvCopy);
    expectFailure({"convert", mkv}, mkv, "exists already");
    EXPECT_EQ(readFile(mkvCopy), before);

    const std::string chosen = dir.file("chosen.mp4");
    Result named = cli({"convert", "-o", chosen, mkv});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(ReadMovieSummary(chosen.c_str()).kind, kMovieKindAvc);
}

// Ctrl+C during a conversion: the partial file goes, and the process ends by the signal.
TEST_F(CliTest, AnInterruptedConvertLeavesNoFile) {
    const std::string source = dir.file("long.mkv");
    ASSERT_TRUE(MakeVideo(source, 120, "-c:v libx264 -preset ultrafast -c:a aac"));
    const std::string copy = dir.file("long (PSP).mp4");
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(60);
        execl(MOVIESTICK_CLI, MOVIESTICK_CLI, "convert", source.c_str(), nullptr);
        _exit(127);
    }
    // Interrupt once the copy has started to grow.
    struct stat info {};
    while (stat(copy.c_str(), &info) != 0 || info.st_size == 0) {
        ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the conversion ended early";
        usleep(10000);
    }
    ASSERT_EQ(kill(pid, SIGINT), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_FALSE(exists(copy));
}

// On a terminal the conversion shows which video it is at and how far; elsewhere (every other
// test) stderr holds nothing but failures.
TEST_F(CliTest, ConvertShowsAProgressLineOnATerminal) {
    const std::string source = dir.file("clip.mkv");
    ASSERT_TRUE(MakeVideo(source, 3, "-c:v libx264 -c:a aac"));
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(60);
        execl(MOVIESTICK_CLI, MOVIESTICK_CLI, "convert", source.c_str(), nullptr);
        _exit(127);
    }
    const std::string seen = ReadTerminalUntilClosed(terminal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_NE(seen.find("\r\033[KConverting \"clip.mkv\" (1 of 1): "), std::string::npos) << seen;
    EXPECT_NE(seen.find(" %, "), std::string::npos) << seen;
    // The line is cleared before the copy's name goes out.
    EXPECT_NE(seen.find("\r\033[K" + dir.file("clip (PSP).mp4")), std::string::npos) << seen;
}

// send, to a FAT image mounted with fusefat (root only) that carries a memory stick's markers.

namespace {

class SendTest : public CliTest {
protected:
    void SetUp() override {
        if (!stick.Mount()) GTEST_SKIP() << "no fusefat mount here (it needs root)";
        MakeStick(stick.point);
    }
    static void MakeStick(const std::string& root) {
        std::filesystem::create_directory(root + "/PSP");
        writeFile(root + "/MEMSTICK.IND", {});
        writeFile(root + "/MSTK_PRO.IND", {});
    }
    // The movie folders on the stick, each file with its bytes.
    std::map<std::string, Bytes> onStick() {
        std::map<std::string, Bytes> files;
        const std::string root = stick.point + "/MP_ROOT";
        if (!exists(root)) return files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_regular_file())
                files[entry.path().string().substr(root.size() + 1)] = readFile(entry.path());
        return files;
    }
    // A movie of about 5 MB: noise that the coder cannot shrink.
    static void MakeLargeMovie(const std::string& path) {
        ASSERT_TRUE(MakeVideo(path, 1.5, "-c:v mpeg4 -bf 0 -q:v 1 -vf noise=alls=100:allf=t -an"));
        const uintmax_t size = std::filesystem::file_size(path);
        ASSERT_TRUE(size > 3000000 && size < 6000000) << size;
    }
    // Waits for the copy to appear on the stick, then holds the stick still (its server
    // stopped) while `meanwhile` runs and a little longer.
    void HoldStickOnceThere(pid_t sender, const std::string& copy,
                            const std::function<void()>& meanwhile) {
        while (!exists(copy)) {
            ASSERT_EQ(waitpid(sender, nullptr, WNOHANG), 0) << "the send ended early";
            usleep(1000);
        }
        const pid_t server = stick.DaemonPid();
        ASSERT_GT(server, 0);
        ASSERT_EQ(kill(server, SIGSTOP), 0);
        meanwhile();
        usleep(600000);
        ASSERT_EQ(kill(server, SIGCONT), 0);
    }
    TempDir stickDir;
    FatImage stick{stickDir.path()};
};

}  // namespace

TEST_F(SendTest, MoviesGoUnderTheNextNumbersWithTheirThumbnailsAndTheRestAreToldWhy) {
    const std::string avc = dir.file("avc.mp4"), mpeg4 = dir.file("mpeg4.mp4");
    // Movies the PSP plays as they are, so that they go byte for byte.
    TestMovieOptions avcOptions;
    avcOptions.extra = "-profile:v main -bf 0";
    ASSERT_TRUE(MakeTestMovie(avc, avcOptions));
    TestMovieOptions mpeg4Options;
    mpeg4Options.codec = "mpeg4";
    mpeg4Options.extra = "-bf 0";
    ASSERT_TRUE(MakeTestMovie(mpeg4, mpeg4Options));
    writeFile(dir.file("avc.THM"), Bytes(900, 0x5a));
    const std::string text = dir.file("notes.mp4"), missing = dir.file("missing.mp4");
    writeFile(text, ascii("not a movie"));
    // A number already taken on the stick: the next movie of that kind goes above it.
    std::filesystem::create_directories(stick.point + "/MP_ROOT/101ANV01");
    writeFile(stick.point + "/MP_ROOT/101ANV01/MAQ00007.MP4", ascii("old"));

    Result r = cli({"send", "--device", stick.point, avc, text, missing, mpeg4, avc});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string folder = stick.point + "/MP_ROOT/";
    EXPECT_NE(r.out.find(avc + " -> " + folder + "101ANV01/MAQ00008.MP4 (with thumbnail)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(mpeg4 + " -> " + folder + "100MNV01/M4V00001.MP4\n"), std::string::npos)
        << r.out;
    // A file named twice goes once.
    EXPECT_NE(r.out.find("2 of 4 movies sent"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("moviestick-cli: " + text + ": not sent: not an MP4 movie\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("moviestick-cli: " + missing + ": not sent: no such file\n"),
              std::string::npos)
        << r.err;
    // No progress line when stderr is not a terminal.
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;

    const std::map<std::string, Bytes> files = onStick();
    EXPECT_EQ(files.size(), 4u);
    EXPECT_EQ(files.at("101ANV01/MAQ00008.MP4"), readFile(avc));
    EXPECT_EQ(files.at("101ANV01/MAQ00008.THM"), Bytes(900, 0x5a));
    EXPECT_EQ(files.at("100MNV01/M4V00001.MP4"), readFile(mpeg4));
    EXPECT_EQ(files.at("101ANV01/MAQ00007.MP4"), ascii("old"));

    // Sent again without thumbnails: new numbers, no second thumbnail, and every file went.
    Result again = cli({"send", "--no-thumbnails", "--device", stick.point, avc, mpeg4});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.err, "");
    const std::map<std::string, Bytes> after = onStick();
    EXPECT_EQ(after.size(), 6u);
    EXPECT_EQ(after.at("101ANV01/MAQ00009.MP4"), readFile(avc));
    EXPECT_EQ(after.count("101ANV01/MAQ00009.THM"), 0u);
    EXPECT_EQ(after.at("100MNV01/M4V00002.MP4"), readFile(mpeg4));
}

// A video the PSP cannot play as it is goes converted, under the AVC name, as the
// application sends it.
TEST_F(SendTest, AVideoOfAnotherKindGoesConvertedUnderTheAvcName) {
    const std::string clip = dir.file("clip.mkv");
    ASSERT_TRUE(MakeVideo(clip, 1.0, "-c:v libx264 -an"));
    Result r = cli({"send", "--device", stick.point, clip});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string sent = stick.point + "/MP_ROOT/101ANV01/MAQ00001.MP4";
    EXPECT_NE(r.out.find(clip + " -> " + sent), std::string::npos) << r.out;
    const std::map<std::string, Bytes> files = onStick();
    ASSERT_EQ(files.size(), 1u);
    Result check = cli({"check", sent});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("(AVC)"), std::string::npos) << check.out;
}

TEST_F(SendTest, NothingGoesWhenTheMoviesDoNotFit) {
    // Two movies of 5 MB on an 8 MB stick: each would fit alone, both do not.
    const std::string first = dir.file("first.mp4"), second = dir.file("second.mp4");
    MakeLargeMovie(first);
    std::filesystem::copy_file(first, second);
    Result r = cli({"send", "--device", stick.point, first, second});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not enough room on the PSP"), std::string::npos) << r.err;
    EXPECT_TRUE(onStick().empty());
}

TEST_F(SendTest, TheDeviceMustBeAStickAndOneOfSeveralMustBeNamed) {
    const std::string movie = dir.file("movie.mp4");
    ASSERT_TRUE(MakeTestMovie(movie, TestMovieOptions{}));
    // The same markers on a folder of another file system.
    const std::string plain = dir.file("plain");
    std::filesystem::create_directory(plain);
    MakeStick(plain);
    Result notStick = cli({"send", "--device", plain, movie});
    EXPECT_EQ(notStick.exitCode, 1);
    EXPECT_EQ(notStick.err.rfind("moviestick-cli: " + plain + ": not a PSP memory stick", 0), 0u)
        << notStick.err;

    TempDir secondDir;
    FatImage second{secondDir.path()};
    ASSERT_TRUE(second.Mount());
    MakeStick(second.point);
    Result several = cli({"send", movie});
    EXPECT_EQ(several.exitCode, 2);
    EXPECT_NE(several.err.find("several PSP memory sticks"), std::string::npos) << several.err;
    EXPECT_NE(several.err.find(stick.point + "/"), std::string::npos) << several.err;
    EXPECT_NE(several.err.find(second.point + "/"), std::string::npos) << several.err;
    EXPECT_TRUE(onStick().empty());

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"send"}, {"send", "--device=", movie}, {"send", movie, "--device"}}) {
        Result usage = cli(args);
        EXPECT_EQ(usage.exitCode, 2) << usage.err;
        EXPECT_NE(usage.err.find("usage: moviestick-cli send"), std::string::npos) << usage.err;
    }
}

TEST_F(SendTest, AnInterruptedSendLeavesNoPartialMovie) {
    const std::string movie = dir.file("movie.mp4");
    MakeLargeMovie(movie);
    const std::string copy = stick.point + "/MP_ROOT/100MNV01/M4V00001.MP4";
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(60);
        execl(MOVIESTICK_CLI, MOVIESTICK_CLI, "send", "--device", stick.point.c_str(),
              movie.c_str(), nullptr);
        _exit(127);
    }
    // The stick is held still while the interrupt goes in, so that the copy cannot finish
    // first.
    HoldStickOnceThere(pid, copy, [&] { ASSERT_EQ(kill(pid, SIGINT), 0); });
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_FALSE(exists(copy));
    EXPECT_TRUE(onStick().empty());
}

TEST_F(SendTest, ShowsAProgressLineOnATerminal) {
    const std::string movie = dir.file("movie.mp4");
    MakeLargeMovie(movie);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(60);
        execl(MOVIESTICK_CLI, MOVIESTICK_CLI, "send", "--device", stick.point.c_str(),
              movie.c_str(), nullptr);
        _exit(127);
    }
    // A stick that stalls for a while once a fifth has gone, when the line can tell the time
    // left: the line goes on meanwhile.
    const std::string copy = stick.point + "/MP_ROOT/100MNV01/M4V00001.MP4";
    const auto copied = [&copy] {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(copy, error);
        return error ? 0 : size;
    };
    while (copied() < 1000000 && waitpid(pid, nullptr, WNOHANG) == 0) usleep(1000);
    // Held long enough for the line to have a rate, which it gives from half a second on.
    HoldStickOnceThere(pid, copy, [] { usleep(1000000); });
    const std::string seen = ReadTerminalUntilClosed(terminal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_NE(seen.find("\r\033[K"), std::string::npos) << seen;
    EXPECT_NE(seen.find(" MB of "), std::string::npos) << seen;
    EXPECT_NE(seen.find(" left"), std::string::npos) << seen;
    // The line is cleared before the summary goes out.
    EXPECT_NE(seen.find("\r\033[K" + movie + " -> "), std::string::npos) << seen;
}
