// fileref.h - file references: an absolute path plus the (device, inode) pair it named.
//
// Two references name the same file when their (device, inode) pairs match. A file renamed
// inside its folder is found again by its inode, so its current name can still be read.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

struct FSRef {
    std::string path;  // absolute, as given (not resolved through symbolic links)
    dev_t device = 0;
    ino_t inode = 0;
    bool valid = false;  // false for a reference that names nothing (e.g. a zero-filled slot)
};

// Unicode name: a 16-bit length and up to 255 UTF-16 code units.
struct HFSUniStr255 {
    uint16_t length = 0;
    char16_t unicode[255] = {};
};

inline constexpr int16_t kNoErr = 0;
inline constexpr int16_t kFnfErr = -43;      // no such file or folder
inline constexpr int16_t kParamErr = -50;
inline constexpr int16_t kMemFullErr = -108;
inline constexpr int16_t kNotAFileErr = -1302;
inline constexpr int16_t kFSRefsDifferentErr = -1420;
