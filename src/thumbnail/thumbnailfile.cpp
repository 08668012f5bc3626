// thumbnailfile.cpp - writes thumbnail files from movie frames and reads them back as pictures.
#include "thumbnail/thumbnailfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include "app/messages.h"
#include "movielist/movielist.h"

// The importer's statuses for a file that is no image it knows, and for damaged image data.
static constexpr int16_t kCantFindHandlerErr = -2003;
static constexpr int16_t kCodecBadDataErr = -8969;

// The preview read last; none after a movie without a thumbnail or a failed read.
static std::optional<QImage> picture;

void HFSUniStrCatAscii(HFSUniStr255* name, const char* text) {
    for (const char* c = text; *c && name->length < 255; ++c) {
        const auto unit = static_cast<int16_t>(static_cast<signed char>(*c));
        name->unicode[name->length++] = static_cast<char16_t>(unit);
    }
}

int16_t ThumbnailNameForMovie(const HFSUniStr255& movieName, HFSUniStr255* name) {
    if (movieName.length < 4) return kParamErr;
    *name = movieName;
    name->length = static_cast<uint16_t>(movieName.length - 4);
    HFSUniStrCatAscii(name, ".THM");
    return 0;
}

QImage DrawThumbnailCanvas(const QImage& frame) {
    QImage canvas(kThumbnailWidth, kThumbnailHeight, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    if (frame.isNull()) return canvas;
    const double ratio = static_cast<double>(frame.width()) / static_cast<double>(frame.height());
    const QRect target = ratio >= kThumbnailWideRatio
                             ? QRect(0, 15, kThumbnailWidth, 90)
                             : QRect(0, 0, kThumbnailWidth, kThumbnailHeight);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame);
    return canvas;
}

static bool encodeJpeg(const QImage& canvas, int quality, QByteArray* jpeg) {
    jpeg->clear();
    QBuffer buffer(jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(canvas);
}

int16_t CompressThumbnail(const QImage& canvas, size_t limit, QByteArray* jpeg) {
    // libjpeg counts quality from 0 to 100.
    constexpr int kNormalQuality = kThumbnailQuality * 100 / 1023;
    constexpr int kQualityStep = 5;
    for (int quality = kNormalQuality; quality > 0; quality -= kQualityStep) {
        if (!encodeJpeg(canvas, quality, jpeg)) return kThumbnailCodecErr;
        if (static_cast<size_t>(jpeg->size()) <= limit) return 0;
    }
    if (encodeJpeg(canvas, 1, jpeg) && static_cast<size_t>(jpeg->size()) <= limit) return 0;
    jpeg->clear();
    return kThumbnailCodecErr;
}

static int16_t writeAll(int fd, const std::vector<char>& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return StatusFromErrno(errno);
        if (n == 0) return kIOErr;
        done += static_cast<size_t>(n);
    }
    return 0;
}

static void syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}

int16_t WriteThumbnailData(const std::string& path, const QByteArray& jpeg) {
    if (static_cast<size_t>(jpeg.size()) > kThumbnailFileSize) return kParamErr;
    std::vector<char> data(kThumbnailFileSize, 0);
    std::copy(jpeg.begin(), jpeg.end(), data.begin());

    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    // A short name of its own: the thumbnail's name may already be as long as names can be.
    std::string temporary = folder + ".thm-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return StatusFromErrno(errno);

    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    int16_t status = fchmod(fd, mode) == 0 ? 0 : StatusFromErrno(errno);
    if (status == 0) status = writeAll(fd, data);
    if (status == 0 && fsync(fd) != 0) status = StatusFromErrno(errno);
    if (close(fd) != 0 && status == 0) status = StatusFromErrno(errno);
    if (status == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        status = StatusFromErrno(errno);
    if (status != 0) {
        unlink(temporary.c_str());
        return status;
    }
    syncFolder(folder);
    return 0;
}

// Creates the empty file that names the entry's first thumbnail, so that a name taken since the
// movie was added is refused rather than overwritten.
static int16_t createThumbnailName(const OpenFileInfo& entry, std::string* path) {
    HFSUniStr255 name;
    if (const int16_t status = ThumbnailNameForMovie(entry.fileName, &name); status != 0)
        return status;
    const size_t slash = entry.path.rfind('/');
    if (slash == std::string::npos) return kParamErr;
    *path = entry.path.substr(0, slash + 1) + QStringFromHFSUniStr255(name).toStdString();
    const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return StatusFromErrno(errno);
    close(fd);
    return 0;
}

int16_t CreateThumbnailFile(const QImage& frame, uint32_t itemID) {
    const int index = GetOpenFileInfo(itemID);
    if (index < 0 || frame.isNull()) return kParamErr;
    QByteArray jpeg;
    if (const int16_t status =
            CompressThumbnail(DrawThumbnailCanvas(frame), kThumbnailFileSize, &jpeg);
        status != 0)
        return status;

    OpenFileInfo& entry = (*gOpenFile)[index];
    std::string path;
    const bool creating = !entry.hasThumbnail;
    int16_t status =
        creating ? createThumbnailName(entry, &path) : FSRefCurrentPath(&entry.thumbnailRef, &path);
    if (status != 0) return status;
    status = WriteThumbnailData(path, jpeg);
    if (status != 0) {
        if (creating) unlink(path.c_str());
        return status;
    }
    // The replacement is a new file under the old name: the reference follows it.
    FSRef ref;
    if (FSPathMakeRef(path.c_str(), &ref) == 0) {
        entry.thumbnailRef = ref;
        entry.hasThumbnail = true;
        entry.thumbnailSize = kThumbnailFileSize;
    }
    return 0;
}

static const QImage* failRead(const char* key, int16_t status) {
    picture.reset();
    DoMessage(kAlertStop, QString::fromLatin1(key), status);
    return nullptr;
}

const QImage* OpenThumbnailFile(uint32_t itemID) {
    picture.reset();
    const int index = GetOpenFileInfo(itemID);
    if (index < 0 || !(*gOpenFile)[index].hasThumbnail) return nullptr;
    std::string path;
    if (FSRefCurrentPath(&(*gOpenFile)[index].thumbnailRef, &path) != 0) return nullptr;

    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return failRead("GetGraphicsImporterForFile() error.", kCantFindHandlerErr);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return failRead("GraphicsImportGetNaturalBounds() error.", kCodecBadDataErr);
    QImage image;
    if (!reader.read(&image)) return failRead("GraphicsImportDraw() error.", kCodecBadDataErr);
    picture = std::move(image);
    return &*picture;
}
