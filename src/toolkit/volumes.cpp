// SPDX-License-Identifier: GPL-3.0-or-later
// volumes.cpp - the mounted volumes, read from the kernel's mount table.
#include "toolkit/volumes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

#include <QCoreApplication>
#include <QSocketNotifier>

static std::string gMountTableFile;

void SetMountTableFile(const std::string& path) {
    gMountTableFile = path;
}

namespace {

// The open real table and the notifier on it. A change shows as an exceptional condition
// (POLLPRI) on the descriptor, reported once per change: the kernel clears it as it tells.
struct MountWatch {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    bool changed = true;
};
MountWatch gWatch;

bool StartMountWatch() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    const int fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    gWatch.fd = fd;
    gWatch.notifier = new QSocketNotifier(fd, QSocketNotifier::Exception, app);
    QObject::connect(gWatch.notifier, &QSocketNotifier::activated, gWatch.notifier,
                     [] { gWatch.changed = true; });
    // With the application gone the descriptor goes too; a later one watches afresh.
    QObject::connect(gWatch.notifier, &QObject::destroyed, [fd] {
        close(fd);
        gWatch = MountWatch{};
    });
    return true;
}

}  // namespace

bool MountTableChanged() {
    if (!gMountTableFile.empty()) return true;
    if (!gWatch.notifier && !StartMountWatch()) return true;
    return std::exchange(gWatch.changed, false);
}

bool MountTableWatched() {
    return gMountTableFile.empty() && gWatch.notifier;
}

// The table writes space, tab, newline and backslash in names as a backslash and three octal
// digits.
static std::string DecodeEscapes(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += char((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// One mountinfo line: ID, parent ID, major:minor, root, mount point, options, optional fields,
// "-", file-system type, source, super-block options.
static bool ParseMountLine(const std::string& line, MountEntry* entry) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) fields.push_back(field);
    const auto dash =
        std::find(fields.begin() + std::min<size_t>(fields.size(), 6), fields.end(), "-");
    if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3) return false;
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (sscanf(fields[2].c_str(), "%u:%u%c", &major, &minor, &tail) != 2) return false;
    entry->device = makedev(major, minor);
    entry->mountPoint = DecodeEscapes(fields[4]);
    entry->fileSystemType = DecodeEscapes(dash[1]);
    entry->source = DecodeEscapes(dash[2]);
    return true;
}

int16_t ReadMountTable(std::vector<MountEntry>* entries) {
    if (!entries) return kParamErr;
    const std::string file = gMountTableFile.empty() ? "/proc/self/mountinfo" : gMountTableFile;
    std::ifstream in(file);
    if (!in) return StatusFromErrno(errno);
    std::vector<MountEntry> table;
    for (std::string line; std::getline(in, line);) {
        MountEntry entry;
        if (ParseMountLine(line, &entry)) table.push_back(std::move(entry));
    }
    if (in.bad()) return kIOErr;
    *entries = std::move(table);
    return kNoErr;
}

bool IsPseudoFileSystem(const std::string& type) {
    static constexpr std::string_view kPseudo[] = {
        "proc",       "sysfs",  "devtmpfs",  "devpts",  "cgroup",      "cgroup2",
        "securityfs", "pstore", "bpf",       "debugfs", "tracefs",     "configfs",
        "fusectl",    "mqueue", "hugetlbfs", "autofs",  "binfmt_misc", "efivarfs",
        "rpc_pipefs", "nsfs",   "selinuxfs", "ramfs",   "nfsd",        "rootfs",
    };
    return std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo);
}

int16_t ReadVolumeTable(std::vector<MountEntry>* volumes) {
    if (!volumes) return kParamErr;
    std::vector<MountEntry> table;
    const int16_t status = ReadMountTable(&table);
    if (status != kNoErr) return status;
    std::vector<MountEntry> result;
    for (size_t i = 0; i < table.size(); ++i) {
        if (IsPseudoFileSystem(table[i].fileSystemType)) continue;
        const auto later = std::find_if(table.begin() + i + 1, table.end(), [&](const auto& e) {
            return e.mountPoint == table[i].mountPoint;
        });
        if (later != table.end()) continue;
        result.push_back(table[i]);
    }
    *volumes = std::move(result);
    return kNoErr;
}

int16_t FindVolume(FSVolumeRefNum volume, MountEntry* entry) {
    if (!entry) return kParamErr;
    std::vector<MountEntry> table;
    const int16_t status = ReadMountTable(&table);
    if (status != kNoErr) return status;
    const auto byTable = std::find_if(table.rbegin(), table.rend(),
                                      [&](const MountEntry& e) { return e.device == volume; });
    if (byTable != table.rend()) {
        *entry = *byTable;
        return kNoErr;
    }
    // Btrfs gives each subvolume its own st_dev, which the table does not show; the mount point
    // itself does.
    const auto byRoot = std::find_if(table.rbegin(), table.rend(), [&](const MountEntry& e) {
        struct stat st;
        return stat(e.mountPoint.c_str(), &st) == 0 && st.st_dev == volume;
    });
    if (byRoot == table.rend()) return kNsvErr;
    *entry = *byRoot;
    return kNoErr;
}

int16_t GetVolumeSizes(const MountEntry& volume, uint64_t* freeBytes, uint64_t* totalBytes) {
    struct statvfs st;
    if (statvfs(volume.mountPoint.c_str(), &st) != 0) return StatusFromErrno(errno);
    if (freeBytes) *freeBytes = uint64_t(st.f_bavail) * st.f_frsize;
    if (totalBytes) *totalBytes = uint64_t(st.f_blocks) * st.f_frsize;
    return kNoErr;
}

uint16_t FileSystemIDForType(const std::string& type) {
    if (type == "vfat" || type == "msdos" || type == "fat" || type == "fuse.fusefat") {
        return kFATFileSystemID;
    }
    return 0;
}

uint16_t FileSystemSignatureForType(const std::string& type) {
    if (type == "hfs") return 0x4244;
    if (type == "hfsplus") return 0x482B;
    return 0;
}

std::string VolumeLabel(const std::string& mountPoint) {
    if (mountPoint == "/") return mountPoint;
    std::string path = mountPoint;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
