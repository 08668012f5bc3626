// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnailfile.cpp - writes thumbnail files from movie frames and reads them back as pictures.
#include "thumbnail/thumbnailfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include <QImageReader>

#include "shared/entries.h"
#include "shared/messages.h"

// The importer's statuses for a file that is no image it knows, and for damaged image data.
static constexpr int16_t kCantFindHandlerErr = -2003;
static constexpr int16_t kCodecBadDataErr = -8969;

// The preview read last; none after a movie without a thumbnail or a failed read.
static std::optional<QImage> picture;

// Creates the empty file that names the entry's first thumbnail, so that a name taken since the
// movie was added is refused rather than overwritten.
static int16_t createThumbnailName(const OpenFileInfo& entry, std::string* path) {
    if (const int16_t status = ThumbnailPathForMovie(entry.path, path, &entry.fileName);
        status != 0)
        return status;
    const int fd = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return StatusFromErrno(errno);
    close(fd);
    return 0;
}

int16_t CreateThumbnailFile(const QImage& frame, uint32_t itemID) {
    if (!FindOpenFileInfo(itemID) || frame.isNull()) return kParamErr;
    QByteArray jpeg;
    if (const int16_t status =
            CompressThumbnail(DrawThumbnailCanvas(frame), kThumbnailFileSize, &jpeg);
        status != 0)
        return status;

    OpenFileInfo& entry = *FindOpenFileInfo(itemID);
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
    const OpenFileInfo* entry = FindOpenFileInfo(itemID);
    if (!entry || !entry->hasThumbnail) return nullptr;
    std::string path;
    if (FSRefCurrentPath(&entry->thumbnailRef, &path) != 0) return nullptr;

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
