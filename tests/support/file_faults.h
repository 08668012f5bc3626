// SPDX-License-Identifier: GPL-3.0-or-later
// file_faults.h - files a movie cannot be written into: a read-only file (root included) and a
// full disk (a small tmpfs, root only).
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

// Makes the file read-only for as long as the guard lives: its permissions, and for root, who
// writes whatever the permissions say, the immutable attribute. ok() is false when the file
// could not be made read-only (the attribute needs a file system that keeps it).
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        ok_ = chmod(path_.c_str(), 0444) == 0 && (geteuid() != 0 || SetImmutable(true));
    }
    ~ReadOnlyFile() {
        if (geteuid() == 0) (void)SetImmutable(false);
        (void)chmod(path_.c_str(), 0644);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool ok() const { return ok_; }

private:
    bool SetImmutable(bool on) {
        const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        close(fd);
        return done;
    }

    std::string path_;
    bool ok_ = false;
};

// A tmpfs of the given size mounted on a new folder, unmounted when the guard goes. Fill() takes
// every byte that is left, so that any write that needs room fails for the lack of it.
class FullDisk {
public:
    FullDisk(std::string point, const char* size) : point_(std::move(point)) {
        const std::string options = std::string("size=") + size;
        mounted_ = mkdir(point_.c_str(), 0755) == 0 && geteuid() == 0 &&
                   mount("tmpfs", point_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~FullDisk() {
        if (mounted_) umount2(point_.c_str(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& point() const { return point_; }
    std::string file(const std::string& name) const { return point_ + "/" + name; }

    void Fill() const {
        const int fd = open(file("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const std::vector<char> block(4096, 'x');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        // The last partial page, byte by byte.
        while (write(fd, block.data(), 1) > 0) {
        }
        close(fd);
    }

private:
    std::string point_;
    bool mounted_ = false;
};
