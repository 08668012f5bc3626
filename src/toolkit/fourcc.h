// SPDX-License-Identifier: GPL-3.0-or-later
// fourcc.h - four-character codes: the numbers that name commands, controls, windows and columns.
#pragma once

#include <cstdint>

using OSType = uint32_t;
using OSStatus = int32_t;

// Four bytes as one number, the first in the high byte.
constexpr OSType PackFourCharCode(const char* bytes) {
    return OSType(uint8_t(bytes[0])) << 24 | OSType(uint8_t(bytes[1])) << 16 |
           OSType(uint8_t(bytes[2])) << 8 | OSType(uint8_t(bytes[3]));
}

// 'Rozk' as a number.
constexpr OSType FourCharCode(const char (&code)[5]) {
    return PackFourCharCode(code);
}
