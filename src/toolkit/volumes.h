// SPDX-License-Identifier: GPL-3.0-or-later
// volumes.h - the mounted volumes: the mount table, which volume a number names, sizes and kinds.
//
// The mount table is /proc/self/mountinfo, read afresh on every call so that mounts and unmounts
// are seen at once. A volume number is the st_dev of the volume's objects (see FSVolumeRefNum).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/fileref.h"

struct MountEntry {
    FSVolumeRefNum device = 0;   // the mount's major:minor
    std::string mountPoint;      // with the table's octal escapes (\040 for a space) decoded
    std::string fileSystemType;  // "ext4", "vfat", "fuse.fusefat", "tmpfs", ...
    std::string source;          // "/dev/sdb1", "fusefat", ...
};

// The file-system ID of the FAT volumes that memory sticks carry; other volumes report 0.
inline constexpr uint16_t kFATFileSystemID = 0x4953;

// Reads the mount table from another file in mountinfo format (tests); "" restores the real one.
void SetMountTableFile(const std::string& path);

// Whether the mount table may have changed since the last call. The real table is watched from
// the first call on: the kernel reports each mount and unmount on an open table, which the
// running event loop hears, so a call between changes costs no system call. True at the first
// call, after a reported change, and at every call while the table cannot be watched (no event
// loop, or a table file set by SetMountTableFile).
bool MountTableChanged();
// Whether mounts and unmounts are heard as they happen, once MountTableChanged has been called:
// false while the table cannot be watched and has to be read again to tell.
bool MountTableWatched();

// Every entry of the mount table, in its order. Lines that do not parse are left out.
[[nodiscard]] int16_t ReadMountTable(std::vector<MountEntry>* entries);

// The kernel's own file systems (proc, sysfs, cgroup, ...), which hold no user files.
bool IsPseudoFileSystem(const std::string& type);

// The volumes a user could store files on, in table order: pseudo file systems are left out, and
// so is a mount hidden by a later mount on the same mount point.
[[nodiscard]] int16_t ReadVolumeTable(std::vector<MountEntry>* volumes);

// The mount that carries this volume number. When several share it (bind mounts) the last one in
// the table is taken. -35 when there is none.
[[nodiscard]] int16_t FindVolume(FSVolumeRefNum volume, MountEntry* entry);

// Free bytes (those an ordinary user may take) and total bytes; either output may be null.
[[nodiscard]] int16_t GetVolumeSizes(const MountEntry& volume, uint64_t* freeBytes,
                                     uint64_t* totalBytes);

// kFATFileSystemID for vfat, msdos, fat and fuse.fusefat; 0 for anything else (exFAT included).
uint16_t FileSystemIDForType(const std::string& type);
// The HFS signatures ('BD', 'H+') for the Mac's own file systems; 0 for anything else.
uint16_t FileSystemSignatureForType(const std::string& type);

// A volume's display name: the last name of its mount point, since desktops mount a stick at
// /media/USER/LABEL and the label itself cannot be read without udev. "/" is named "/".
std::string VolumeLabel(const std::string& mountPoint);
