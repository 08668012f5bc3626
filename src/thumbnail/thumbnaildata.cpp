// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnaildata.cpp - a thumbnail file's name, picture, JPEG data and safe writing: what the
// thumbnail files and the command-line tool share, free of the movie list and the messages.
#include "thumbnail/thumbnailfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

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

int16_t ThumbnailPathForMovie(const std::string& moviePath, std::string* path,
                              const HFSUniStr255* movieName) {
    const size_t slash = moviePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : moviePath.substr(0, slash + 1);
    HFSUniStr255 name;
    const int16_t status = ThumbnailNameForMovie(
        movieName ? *movieName : HFSUniStr255FromUtf8Name(moviePath.substr(folder.size())), &name);
    if (status != 0) return status;
    *path = folder + QStringFromHFSUniStr255(name).toStdString();
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
    // The new file is in place; a folder that cannot be synced is told all the same.
    return SyncFolder(folder);
}
