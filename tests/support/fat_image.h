// SPDX-License-Identifier: GPL-3.0-or-later
// fat_image.h - a FAT image mounted with fusefat for a test (root only), and running tools.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "toolkit/volumes.h"

extern char** environ;

// Runs a program with its output thrown away; true when it exits with 0.
inline bool RunQuietly(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

inline bool IsMountPoint(const std::string& path) {
    std::vector<MountEntry> table;
    if (ReadMountTable(&table) != kNoErr) return false;
    for (const MountEntry& entry : table)
        if (entry.mountPoint == path) return true;
    return false;
}

// An 8 MB FAT image in `folder`, mounted read-write at folder/stick; Mount() is false when this
// machine cannot (not root, no fusefat). Left mounted, it is unmounted when the object goes.
struct FatImage {
    explicit FatImage(const std::string& folder)
        : image(folder + "/stick.img"), point(folder + "/stick") {}
    ~FatImage() {
        if (mounted && IsMountPoint(point)) (void)RunQuietly({"fusermount", "-u", point});
    }
    bool Mount() {
        if (geteuid() != 0) return false;
        std::filesystem::create_directory(point);
        mounted = RunQuietly({"truncate", "-s", "8M", image}) &&
                  RunQuietly({"mkfs.vfat", "-n", "STICK", image}) &&
                  RunQuietly({"fusefat", "-o", "rw+", image, point});
        return mounted;
    }
    // The fusefat process that serves the mount, or 0. Stopping it makes the stick hang as a
    // slow or stalled device does.
    pid_t DaemonPid() const {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::ifstream file(entry.path() / "cmdline");
            const std::string line((std::istreambuf_iterator<char>(file)), {});
            if (line.rfind("fusefat", 0) == 0 && line.find(point) != std::string::npos)
                return pid_t(std::stol(name));
        }
        return 0;
    }
    FSVolumeRefNum Volume() const {
        struct stat info;
        return stat(point.c_str(), &info) == 0 ? info.st_dev : 0;
    }

    std::string image;
    std::string point;
    bool mounted = false;
};
