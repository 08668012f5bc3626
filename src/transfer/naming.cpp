// SPDX-License-Identifier: GPL-3.0-or-later
// naming.cpp - the device's movie folders and file names.
#include "transfer/naming.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/fiber.h"

static constexpr size_t kPathBufferSize = 4096;

// Every call here that touches the device runs on the copy's I/O worker (at once, when called
// outside the copy thread): a slow or stalled stick must not stall the window.
static bool ResolvesTo(const std::string& path, FSRef* ref, bool* isFolder) {
    if (path.size() >= kPathBufferSize) return false;
    return ThreadCall([&]() -> ssize_t { return FSPathMakeRef(path.c_str(), ref, isFolder); }) ==
           kNoErr;
}

// Resolves parent + name + "/", creating the folder when it is not there.
static bool FindOrCreate(const std::string& parent, const char* name, std::string* path) {
    *path = parent + name + "/";
    FSRef ref;
    if (ResolvesTo(*path, &ref, nullptr)) return true;
    return CreateDirectory(parent.c_str(), name) == kNoErr;
}

bool GetPSPRef(const char* rootPath, FSRef* folder, int16_t movieKind) {
    if (!rootPath || !folder) return false;
    std::string root(rootPath);
    if (root.empty() || root.back() != '/') root += '/';
    FSRef ref;
    if (!ResolvesTo(root, &ref, nullptr)) return false;
    std::string mpRoot, movies;
    if (!FindOrCreate(root, "MP_ROOT", &mpRoot)) return false;
    if (!FindOrCreate(mpRoot, movieKind == kMovieKindAVC1 ? "101ANV01" : "100MNV01", &movies))
        return false;
    bool isFolder = false;
    if (!ResolvesTo(movies, &ref, &isFolder) || !isFolder) return false;
    *folder = std::move(ref);
    return true;
}

static int16_t MakeFolder(const char* parentPath, const char* name) {
    FSRef parent;
    bool isFolder = false;
    if (const int16_t status = FSPathMakeRef(parentPath, &parent, &isFolder); status != kNoErr)
        return status;
    if (!isFolder) return kErrFSNotAFolder;
    const std::string path =
        parent.path == "/" ? "/" + std::string(name) : parent.path + "/" + name;
    if (path.size() >= kPathBufferSize) return kPathTooLongErr;
    return mkdir(path.c_str(), 0777) == 0 ? kNoErr : StatusFromErrno(errno);
}

int16_t CreateDirectory(const char* parentPath, const char* name) {
    if (!parentPath || !name || !*name || std::strchr(name, '/')) return kParamErr;
    return int16_t(ThreadCall([&]() -> ssize_t { return MakeFolder(parentPath, name); }));
}

// "M4V00012.MP4": bytes 4 to 8 as atoi reads them.
static int32_t NumberInName(const char* name, size_t length) {
    if (length != 12) return 0;
    char digits[6];
    std::memcpy(digits, name + 3, 5);
    digits[5] = '\0';
    return std::atoi(digits);
}

// A FAT volume mounted by the kernel lists long names; the device itself sees only the short
// 8.3 names, which the vfat driver hands out beside them. -1 when the driver offers none.
static int32_t MaxNumberOfShortNames(int fd) {
    struct __fat_dirent entries[2];
    if (ioctl(fd, VFAT_IOCTL_READDIR_SHORT, entries) < 0) return -1;
    if (lseek(fd, 0, SEEK_SET) < 0) return -1;
    int32_t highest = 0;
    while (ioctl(fd, VFAT_IOCTL_READDIR_SHORT, entries) > 0) {
        const char* name = entries[0].d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        highest = std::max(highest, NumberInName(name, std::strlen(name)));
    }
    return highest;
}

static int32_t MaxNumberInFolder(const std::string& folderPath) {
    const int fd = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    if (const int32_t highest = MaxNumberOfShortNames(fd); highest >= 0) {
        close(fd);
        return highest;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return 0;
    }
    int32_t highest = 0;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        highest = std::max(highest, NumberInName(entry->d_name, std::strlen(entry->d_name)));
    }
    closedir(dir);
    return highest;
}

int32_t GetMaxNumber(const FSRef* folder) {
    if (!folder || !folder->valid) return 0;
    return int32_t(ThreadCall([&]() -> ssize_t { return MaxNumberInFolder(folder->path); }));
}

QString CreatePSPStyleFileName(const char* prefix, int32_t number, const char* suffix) {
    if (!prefix || !suffix || number < 0 || number > kMaxPSPFileNumber) return QString();
    if (std::strlen(prefix) != 3 || std::strlen(suffix) != 4) return QString();
    return QString::fromUtf8(prefix) + QStringLiteral("%1").arg(number, 5, 10, QChar('0')) +
           QString::fromUtf8(suffix);
}
