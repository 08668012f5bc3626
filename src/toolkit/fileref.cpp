// SPDX-License-Identifier: GPL-3.0-or-later
// fileref.cpp - file references: made from paths, compared, found again after a rename.
#include "toolkit/fileref.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

int16_t StatusFromErrno(int err) {
    switch (err) {
        case 0:
            return kNoErr;
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG:
            return kFnfErr;
        case EACCES:
        case EPERM:
            return kAfpAccessDenied;
        case ENOSPC:
        case EDQUOT:
            return kDskFulErr;
        case EROFS:
            return kWPrErr;
        case EBUSY:
        case ENOTEMPTY:
            return kFBsyErr;
        case EEXIST:
            return kDupFNErr;
        case ENOMEM:
            return kMemFullErr;
        case EINVAL:
            return kParamErr;
        default:
            return kIOErr;
    }
}

// One statx call gives the birth time too, where the file system keeps one.
static int StatPath(const std::string& path, bool follow, struct statx* st) {
    const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (statx(AT_FDCWD, path.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, st) != 0) {
        return errno;
    }
    return 0;
}

static dev_t DeviceOf(const struct statx& st) {
    return makedev(st.stx_dev_major, st.stx_dev_minor);
}

static bool SameObject(const FSRef& ref, const struct statx& st) {
    return DeviceOf(st) == ref.device && st.stx_ino == ref.inode;
}

static std::string AbsoluteCleanPath(const char* path, int* err) {
    std::filesystem::path p(path);
    if (p.is_relative()) {
        char* cwd = getcwd(nullptr, 0);
        if (!cwd) {
            *err = errno;
            return {};
        }
        p = std::filesystem::path(cwd) / p;
        free(cwd);
    }
    std::string clean = p.lexically_normal().string();
    while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
    *err = 0;
    return clean;
}

int16_t FSPathMakeRef(const char* path, FSRef* ref, bool* isDirectory) {
    if (!path || !ref) return kParamErr;
    if (!*path) return kFnfErr;
    int err = 0;
    std::string clean = AbsoluteCleanPath(path, &err);
    if (err) return StatusFromErrno(err);
    struct statx st;
    err = StatPath(clean, true, &st);
    if (err) return StatusFromErrno(err);
    ref->path = std::move(clean);
    ref->device = DeviceOf(st);
    ref->inode = st.stx_ino;
    ref->valid = true;
    if (isDirectory) *isDirectory = S_ISDIR(st.stx_mode);
    return kNoErr;
}

int16_t FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2) {
    if (!ref1 || !ref2 || !ref1->valid || !ref2->valid) return kParamErr;
    if (ref1->device == ref2->device && ref1->inode == ref2->inode) return kNoErr;
    return kFSRefsDifferentErr;
}

// Where the object is found: its path, the status of the object itself (the link, for a
// symbolic link) and of what opening it reaches.
struct Located {
    std::string path;
    struct statx leaf;
    struct statx target;
};

// True when the path names the referenced object, either as a link to it or as itself.
static bool NamesObject(const FSRef& ref, const std::string& path, Located* found) {
    if (StatPath(path, false, &found->leaf) != 0) return false;
    if (S_ISLNK(found->leaf.stx_mode)) {
        if (StatPath(path, true, &found->target) == 0 && SameObject(ref, found->target)) {
            found->path = path;
            return true;
        }
    }
    if (!SameObject(ref, found->leaf)) return false;
    found->target = found->leaf;
    found->path = path;
    return true;
}

static std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

static std::string ChildPath(const std::string& folder, const char* name) {
    return folder == "/" ? folder + name : folder + "/" + name;
}

// A rename inside the folder keeps the inode, so the parent's listing finds the object again.
// Only entries whose d_ino matches are looked at, which keeps the search to one readdir pass.
static int16_t FindInParent(const FSRef& ref, Located* found) {
    if (ref.path == "/") return kFnfErr;
    const std::string folder = ParentOf(ref.path);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return kFnfErr;
    int16_t status = kFnfErr;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_ino != ref.inode) continue;
        if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, "..")) continue;
        if (NamesObject(ref, ChildPath(folder, entry->d_name), found)) {
            status = kNoErr;
            break;
        }
    }
    closedir(dir);
    return status;
}

static int16_t Locate(const FSRef* ref, Located* found) {
    if (!ref || !ref->valid) return kParamErr;
    if (NamesObject(*ref, ref->path, found)) return kNoErr;
    return FindInParent(*ref, found);
}

int16_t FSRefCurrentPath(const FSRef* ref, std::string* path) {
    if (!path) return kParamErr;
    Located found;
    const int16_t status = Locate(ref, &found);
    if (status != kNoErr) return status;
    *path = std::move(found.path);
    return kNoErr;
}

int16_t FSRefMakePath(const FSRef* ref, char* path, size_t maxPathSize) {
    if (!path || maxPathSize == 0) return kParamErr;
    std::string current;
    const int16_t status = FSRefCurrentPath(ref, &current);
    if (status != kNoErr) return status;
    if (current.size() + 1 > maxPathSize) return kPathTooLongErr;
    memcpy(path, current.c_str(), current.size() + 1);
    return kNoErr;
}

static timespec TimeOf(const struct statx_timestamp& t) {
    timespec result;
    result.tv_sec = t.tv_sec;
    result.tv_nsec = t.tv_nsec;
    return result;
}

static void FillCatalogInfo(const Located& found, uint32_t whichInfo, FSCatalogInfo* info) {
    const struct statx& target = found.target;
    if (whichInfo & kFSCatInfoNodeFlags) {
        info->nodeFlags = S_ISDIR(found.leaf.stx_mode) ? kFSNodeIsDirectoryMask : 0;
        info->isRegularFile = S_ISREG(found.target.stx_mode);
        info->opensFolder = S_ISDIR(found.target.stx_mode);
    }
    if (whichInfo & kFSCatInfoVolume) info->volume = DeviceOf(target);
    if (whichInfo & kFSCatInfoCreateDate) {
        info->createDate = (target.stx_mask & STATX_BTIME) ? TimeOf(target.stx_btime) : timespec{};
    }
    if (whichInfo & kFSCatInfoContentMod) info->contentModDate = TimeOf(target.stx_mtime);
    if (whichInfo & kFSCatInfoAttrMod) info->attributeModDate = TimeOf(target.stx_ctime);
    if (whichInfo & kFSCatInfoAccessDate) info->accessDate = TimeOf(target.stx_atime);
    if (whichInfo & kFSCatInfoDataSizes) {
        const bool folder = S_ISDIR(target.stx_mode);
        info->dataLogicalSize = folder ? 0 : target.stx_size;
        info->dataPhysicalSize = folder ? 0 : target.stx_blocks * 512;
    }
    if (whichInfo & kFSCatInfoRsrcSizes) {
        info->rsrcLogicalSize = 0;
        info->rsrcPhysicalSize = 0;
    }
}

int16_t FSGetCatalogInfo(const FSRef* ref, uint32_t whichInfo, FSCatalogInfo* info,
                         HFSUniStr255* name) {
    if (whichInfo != kFSCatInfoNone && !info) return kParamErr;
    Located found;
    const int16_t status = Locate(ref, &found);
    if (status != kNoErr) return status;
    if (info) FillCatalogInfo(found, whichInfo, info);
    if (name) {
        const size_t slash = found.path.rfind('/');
        *name =
            HFSUniStr255FromUtf8Name(found.path == "/" ? found.path : found.path.substr(slash + 1));
    }
    return kNoErr;
}

int16_t FSMakeItemRef(const std::string& folderPath, const std::string& name, uint32_t whichInfo,
                      FSRef* ref, FSCatalogInfo* info) {
    if (!ref || (whichInfo != kFSCatInfoNone && !info) || name.empty()) return kParamErr;
    Located found;
    found.path = ChildPath(folderPath, name.c_str());
    int err = StatPath(found.path, false, &found.leaf);
    if (err == 0 && S_ISLNK(found.leaf.stx_mode))
        err = StatPath(found.path, true, &found.target);
    else
        found.target = found.leaf;
    if (err) return StatusFromErrno(err);
    if (info) FillCatalogInfo(found, whichInfo, info);
    ref->path = std::move(found.path);
    ref->device = DeviceOf(found.target);
    ref->inode = found.target.stx_ino;
    ref->valid = true;
    return kNoErr;
}

HFSUniStr255 HFSUniStr255FromUtf8Name(const std::string& name) {
    return HFSUniStr255FromQString(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

HFSUniStr255 HFSUniStr255FromQString(const QString& text) {
    HFSUniStr255 name;
    qsizetype length = std::min<qsizetype>(text.size(), 255);
    if (length == 255 && text.size() > 255 && text.at(254).isHighSurrogate()) length = 254;
    for (qsizetype i = 0; i < length; ++i) name.unicode[i] = text.at(i).unicode();
    name.length = uint16_t(length);
    return name;
}

QString QStringFromHFSUniStr255(const HFSUniStr255& name) {
    return QString(reinterpret_cast<const QChar*>(name.unicode), std::min<int>(name.length, 255));
}

int16_t SyncFolder(const std::string& folderPath) {
    const int fd = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (fsync(fd) != 0) err = errno;
        close(fd);
    }
    if (err == 0 || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) return kNoErr;
    const int16_t status = StatusFromErrno(err);
    return status != kNoErr ? status : kIOErr;
}
