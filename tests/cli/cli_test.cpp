// cli_test.cpp - runs moviestick-cli on built movies: exit codes, output and messages.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <QImage>

#include "container/atom_builder.h"
#include "support/test_movies.h"

using namespace mp4test;

namespace {

struct Result {
    int exitCode;
    std::string out;
    std::string err;
};

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
    const std::vector<std::vector<std::string>> calls = {{},
                                                         {"rename", movie},
                                                         {"tree"},
                                                         {"type", movie, "x"},
                                                         {"title", movie, "a", "b"},
                                                         {"--help", "tree"}};
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

    Result set = cli({"title", movie, "Caf\xC3\xA9 \xE2\x9C\x93"});
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

    expectFailure({"title", dir.file("missing.mp4"), "x"}, dir.file("missing.mp4"),
                  "no such file");
    expectFailure({"title", text, "x"}, text, "not an MP4 movie");
    expectFailure({"title", movie, std::string(40000, 'a')}, movie, "the title is too long");
    expectFailure({"title", movie, "caf\xE9"}, movie, "the title is not valid UTF-8");
    expectFailure({"title", broken, "x"}, broken,
                  "the movie's structure is damaged; it was not changed");
    EXPECT_EQ(cli({"title", movie}).out, "Old\n");
    // A movie without the metadata atom is given one.
    EXPECT_EQ(cli({"title", bare, "x"}).exitCode, 0);
    EXPECT_EQ(cli({"title", bare}).out, "x\n");
}

TEST_F(CliTest, TitlesBeyondTheBasicPlaneRoundTrip) {
    writeFile(movie, movieWith({}));
    const std::string title = "D\xC3\xAD" "a \xF0\x9F\x8E\xAC";
    Result set = cli({"title", movie, title});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(cli({"title", movie}).out, title + "\n");
}

// Every reader answers at once for a pipe named like a movie, where opening it would wait for
// a writer; the alarm of the child turns a hang into a failure.
TEST_F(CliTest, ReadersRefuseAPipeAtOnce) {
    const std::string fifo = dir.file("x.mp4");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"tree", fifo}, {"type", fifo}, {"title", fifo},
                                               {"title", fifo, "x"}, {"thumb", fifo}})
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
             {{"thumb", movie, "1.55"}, 15}, {{"thumb", movie}, 2}, {{"thumb", movie, "99"}, 19}}) {
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
    expectFailure({"thumb", movie, "soon"}, movie, "'soon' is not a number of seconds");
    EXPECT_EQ(cli({"thumb", movie, "1", "2"}).exitCode, 2);
}
