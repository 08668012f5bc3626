// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnailfile_test.cpp - thumbnail files: geometry, size, names, replacing, failures, preview.
#include "thumbnail/thumbnailfile.h"

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "movielist/movielist.h"
#include "support/movielist_state.h"
#include "toolkit/alerts.h"
#include "toolkit/localized.h"

namespace fs = std::filesystem;

namespace {

class ThumbnailFile : public testing::Test {
protected:
    void SetUp() override {
        Reset();
        SetAlertResponder([this](const AlertRecord& record) {
            shown.push_back(record);
            return kAlertDefaultButton;
        });
    }
    void TearDown() override {
        SetAlertResponder({});
        Reset();
    }
    static void Reset() { ResetMovieList(); }

    // Adds a small movie of that name to the list; returns its item ID.
    uint32_t AddMovie(const std::string& name) {
        const std::string path = folder + "/" + name;
        mp4test::writeFile(path, mp4test::smallMovie(u"Title"));
        FSRef ref;
        EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), kNoErr);
        EXPECT_EQ(CreateOpenFileInfo(&ref, CountOpenFileInfo()), 0) << name;
        return gOpenFile->back().itemID;
    }
    static OpenFileInfo& EntryOf(uint32_t itemID) { return (*gOpenFile)[GetOpenFileInfo(itemID)]; }

    static QImage Plain(int width, int height, QColor colour) {
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(colour);
        return image;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(folder))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    QTemporaryDir dir;
    std::string folder = dir.path().toStdString();
    std::vector<AlertRecord> shown;
};

bool IsBlack(QRgb pixel) {
    return qRed(pixel) + qGreen(pixel) + qBlue(pixel) <= 24;
}
bool IsWhite(QRgb pixel) {
    return qRed(pixel) + qGreen(pixel) + qBlue(pixel) >= 740;
}

// The rows a frame of that size covers on the canvas, drawn white on the black fill.
std::pair<int, int> CoveredRows(const QImage& canvas) {
    int first = -1, last = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        if (IsWhite(canvas.pixel(80, y))) {
            if (first < 0) first = y;
            last = y;
        } else {
            EXPECT_TRUE(IsBlack(canvas.pixel(80, y))) << "row " << y;
        }
    }
    return {first, last};
}

TEST_F(ThumbnailFile, WideFramesGoBetweenBarsOfFifteenRowsOthersFillTheCanvas) {
    struct Case {
        int width, height;
        std::pair<int, int> rows;
    };
    const Case cases[] = {
        {320, 180, {15, 104}},  // 16:9
        {170, 100, {15, 104}},  // exactly 1.7
        {235, 100, {15, 104}},  // 2.35:1, squeezed into the same rectangle
        {169, 100, {0, 119}},   // just under 1.7
        {640, 480, {0, 119}},   // 4:3
        {100, 300, {0, 119}},   // tall frames are stretched over the canvas too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const QImage canvas = DrawThumbnailCanvas(Plain(c.width, c.height, Qt::white));
        ASSERT_EQ(canvas.size(), QSize(160, 120));
        EXPECT_EQ(CoveredRows(canvas), c.rows);
        EXPECT_TRUE(IsWhite(canvas.pixel(0, 60)) && IsWhite(canvas.pixel(159, 60)));
    }
}

TEST_F(ThumbnailFile, FileIsAJpegOf160By120PaddedWithZerosTo32768Bytes) {
    const uint32_t id = AddMovie("clip.mp4");
    ASSERT_EQ(CreateThumbnailFile(Plain(320, 180, Qt::white), id), 0);
    const std::string path = folder + "/clip.THM";
    const std::string bytes = Contents(path);
    ASSERT_EQ(bytes.size(), kThumbnailFileSize);
    ASSERT_EQ(bytes.substr(0, 3), std::string("\xFF\xD8\xFF"));
    const size_t end = bytes.find("\xFF\xD9");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(bytes.find_first_not_of('\0', end + 2), std::string::npos);

    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(path), "JPEG"));
    EXPECT_EQ(image.size(), QSize(160, 120));
    EXPECT_TRUE(IsBlack(image.pixel(80, 5)) && IsBlack(image.pixel(80, 114)));
    EXPECT_TRUE(IsWhite(image.pixel(80, 60)));
    EXPECT_TRUE(EntryOf(id).hasThumbnail);
    EXPECT_EQ(EntryOf(id).thumbnailSize, kThumbnailFileSize);
}

TEST_F(ThumbnailFile, NameIsTheMovieNameWithThmInPlaceOfItsEnding) {
    const uint32_t clip = AddMovie("clip.MP4");
    ASSERT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::red), clip), 0);
    EXPECT_TRUE(fs::exists(folder + "/clip.THM"));

    const std::string longest = std::string(251, 'n') + ".mp4";
    const uint32_t full = AddMovie(longest);
    ASSERT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::red), full), 0);
    EXPECT_EQ(fs::file_size(folder + "/" + std::string(251, 'n') + ".THM"), kThumbnailFileSize);
}

// The command line names a thumbnail from the movie's path alone, the list from the name the
// entry keeps: both end up beside the movie, and a name too short for an ending is refused.
TEST_F(ThumbnailFile, PathIsBesideTheMovieFromItsPathOrTheGivenName) {
    std::string path;
    ASSERT_EQ(ThumbnailPathForMovie("/media/movies/clip.mp4", &path), 0);
    EXPECT_EQ(path, "/media/movies/clip.THM");
    ASSERT_EQ(ThumbnailPathForMovie("clip.mp4", &path), 0);
    EXPECT_EQ(path, "clip.THM");
    ASSERT_EQ(ThumbnailPathForMovie("dir/été.mp4", &path), 0);
    EXPECT_EQ(path, "dir/été.THM");

    const HFSUniStr255 kept = HFSUniStr255FromQString(QStringLiteral("Before.MP4"));
    ASSERT_EQ(ThumbnailPathForMovie("/media/movies/after.mp4", &path, &kept), 0);
    EXPECT_EQ(path, "/media/movies/Before.THM");

    path = "untouched";
    EXPECT_EQ(ThumbnailPathForMovie("/media/movies/.mp", &path), kParamErr);
    EXPECT_EQ(path, "untouched");
}

TEST_F(ThumbnailFile, AppendingAsciiStopsAt255UnitsAndSignExtendsBytes) {
    HFSUniStr255 name = HFSUniStr255FromQString(QString(253, QChar('a')));
    HFSUniStrCatAscii(&name, ".THM");
    EXPECT_EQ(name.length, 255);
    EXPECT_EQ(name.unicode[253], u'.');
    EXPECT_EQ(name.unicode[254], u'T');

    HFSUniStr255 high{};
    HFSUniStrCatAscii(&high, "\xE9");
    EXPECT_EQ(high.length, 1);
    EXPECT_EQ(high.unicode[0], char16_t(0xFFE9));
}

TEST_F(ThumbnailFile, SecondThumbnailReplacesTheFirstUnderTheSameName) {
    const uint32_t id = AddMovie("clip.mp4");
    ASSERT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::white), id), 0);
    ASSERT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::black), id), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"clip.THM", "clip.mp4"}));
    std::string current;
    ASSERT_EQ(FSRefCurrentPath(&EntryOf(id).thumbnailRef, &current), kNoErr);
    EXPECT_EQ(current, folder + "/clip.THM");
    const QImage* preview = OpenThumbnailFile(id);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(IsBlack(preview->pixel(80, 60)));
}

TEST_F(ThumbnailFile, NameTakenSinceTheMovieWasAddedIsRefusedAndKept) {
    const uint32_t id = AddMovie("clip.mp4");
    std::ofstream(folder + "/clip.THM") << "someone else's";
    EXPECT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::white), id), kDupFNErr);
    EXPECT_EQ(Contents(folder + "/clip.THM"), "someone else's");
    EXPECT_FALSE(EntryOf(id).hasThumbnail);
}

// Files may grow to no more than `limit` bytes while this lives: writes past it fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previous);
    }

private:
    rlimit saved{};
    sighandler_t previous{};
};

TEST_F(ThumbnailFile, FailedWriteKeepsTheOldThumbnailAndLeavesNoTemporaryFile) {
    const uint32_t id = AddMovie("clip.mp4");
    ASSERT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::white), id), 0);
    const std::string before = Contents(folder + "/clip.THM");
    const FSRef refBefore = EntryOf(id).thumbnailRef;
    {
        FileSizeLimit limit(1000);
        EXPECT_NE(CreateThumbnailFile(Plain(160, 120, Qt::black), id), 0);
    }
    EXPECT_EQ(Contents(folder + "/clip.THM"), before);
    EXPECT_EQ(Names(), (std::vector<std::string>{"clip.THM", "clip.mp4"}));
    EXPECT_TRUE(EntryOf(id).hasThumbnail);
    EXPECT_EQ(FSCompareFSRefs(&EntryOf(id).thumbnailRef, &refBefore), kNoErr);

    // A first thumbnail that cannot be written leaves no file and no thumbnail behind.
    const uint32_t other = AddMovie("other.mp4");
    {
        FileSizeLimit limit(1000);
        EXPECT_NE(CreateThumbnailFile(Plain(160, 120, Qt::black), other), 0);
    }
    EXPECT_FALSE(fs::exists(folder + "/other.THM"));
    EXPECT_FALSE(EntryOf(other).hasThumbnail);
}

TEST_F(ThumbnailFile, JpegTooLargeForTheLimitIsCompressedHarderNotCut) {
    QImage noise(160, 120, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) noise.setPixel(x, y, random() | 0xFF000000u);
    QByteArray normal;
    ASSERT_EQ(CompressThumbnail(noise, kThumbnailFileSize, &normal), 0);
    const size_t limit = static_cast<size_t>(normal.size()) / 2;

    QByteArray smaller;
    ASSERT_EQ(CompressThumbnail(noise, limit, &smaller), 0);
    EXPECT_LE(static_cast<size_t>(smaller.size()), limit);
    EXPECT_EQ(QImage::fromData(smaller, "JPEG").size(), QSize(160, 120));

    QByteArray none;
    EXPECT_EQ(CompressThumbnail(noise, 100, &none), kThumbnailCodecErr);
}

TEST_F(ThumbnailFile, PreviewReadsTheThumbnailAndIsEmptyWithoutOne) {
    const uint32_t id = AddMovie("clip.mp4");
    EXPECT_EQ(OpenThumbnailFile(id), nullptr);
    ASSERT_EQ(CreateThumbnailFile(Plain(160, 120, Qt::white), id), 0);
    const QImage* preview = OpenThumbnailFile(id);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->size(), QSize(160, 120));

    fs::remove(folder + "/clip.THM");
    EXPECT_EQ(OpenThumbnailFile(id), nullptr);
    EXPECT_TRUE(shown.empty());
}

TEST_F(ThumbnailFile, PreviewOfAFileThatIsNoImageShowsTheImporterAlert) {
    std::ofstream(folder + "/clip.THM") << std::string(32768, 'x');
    const uint32_t id = AddMovie("clip.mp4");  // picks up the thumbnail beside it
    ASSERT_TRUE(EntryOf(id).hasThumbnail);
    EXPECT_EQ(OpenThumbnailFile(id), nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, kAlertStop);
    EXPECT_EQ(shown[0].message, LocalizedString("GetGraphicsImporterForFile() error."));
}

}  // namespace
