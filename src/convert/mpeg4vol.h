// SPDX-License-Identifier: GPL-3.0-or-later
// mpeg4vol.h - the motion tools an MPEG-4 part 2 stream declares in its video object layer
// header: quarter-pel motion vectors and sprites (global motion compensation among them).
#pragma once

#include <cstddef>
#include <cstdint>

struct Mpeg4LayerTools {
    bool quarterPel = false;
    bool sprites = false;  // static sprites or global motion compensation
};

// Reads the first video object layer header in the bytes (a stream's decoder configuration, or
// the start of its first frame). False when there is none, it is cut short, or its shape is not
// the plain rectangle that every playable stream has.
[[nodiscard]] bool ReadMpeg4LayerTools(const uint8_t* data, size_t size, Mpeg4LayerTools* tools);
