// SPDX-License-Identifier: GPL-3.0-or-later
// movie_layout.h - the engine tests' own reader of a file's atoms, independent of the engine's:
// the layout after a rewrite, atoms by path, chunk offsets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "atom_builder.h"

namespace mp4test {

// An atom found in a file's bytes by the tests' own reader, independent of the engine's.
struct Found {
    std::string type;
    size_t offset;
    uint64_t size;  // the whole atom: a 64-bit size after a size field of 1, the rest for 0
    std::vector<Found> children;
    size_t headerSize = 8;
    bool toEnd = false;  // stored with size 0
};

inline uint64_t readBE(const Bytes& b, size_t at, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | b.at(at + i);
    return v;
}

inline std::vector<Found> atomsIn(const Bytes& b, size_t begin, size_t end) {
    static const std::vector<std::string> containers = {"moov", "trak", "mdia",
                                                        "minf", "stbl", "udta"};
    std::vector<Found> atoms;
    while (begin + 8 <= end) {
        Found f{std::string(b.begin() + begin + 4, b.begin() + begin + 8),
                begin,
                readBE(b, begin, 4),
                {}};
        if (f.size == 1 && begin + 16 <= end) {
            f.size = readBE(b, begin + 8, 8);
            f.headerSize = 16;
        } else if (f.size == 0) {
            f.size = end - begin;
            f.toEnd = true;
        }
        if (f.size < f.headerSize) break;
        if (std::find(containers.begin(), containers.end(), f.type) != containers.end())
            f.children = atomsIn(b, begin + f.headerSize, std::min<size_t>(end, begin + f.size));
        atoms.push_back(f);
        begin += f.size;
    }
    return atoms;
}

// "ftyp mdat moov(mvhd uuid)": the order of the atoms, with containers' children in brackets.
inline std::string layoutOf(const std::vector<Found>& atoms) {
    std::string s;
    for (const Found& f : atoms) {
        if (!s.empty()) s += ' ';
        s += f.type;
        if (!f.children.empty()) s += "(" + layoutOf(f.children) + ")";
    }
    return s;
}

inline std::string layoutOf(const Bytes& b) {
    return layoutOf(atomsIn(b, 0, b.size()));
}

// The atom reached by taking, at each level, the n-th atom of the given type.
inline Found find(const Bytes& b, const std::vector<std::string>& path, int n = 0) {
    std::vector<Found> level = atomsIn(b, 0, b.size());
    Found found{};
    for (size_t depth = 0; depth < path.size(); ++depth) {
        int skip = depth + 1 == path.size() ? n : 0;
        auto it = std::find_if(level.begin(), level.end(), [&](const Found& f) {
            return f.type == path[depth] && skip-- == 0;
        });
        if (it == level.end()) throw std::runtime_error("no atom " + path[depth]);
        found = *it;
        level = std::vector<Found>(found.children);
    }
    return found;
}

// The path of the sample tables in the built movies' single track.
inline const std::vector<std::string> kTablePath = {"moov", "trak", "mdia", "minf", "stbl"};

inline std::vector<uint64_t> chunkOffsets(const Bytes& b, const std::string& table = "stco") {
    std::vector<std::string> path = kTablePath;
    path.push_back(table);
    Found t = find(b, path);
    int width = table == "co64" ? 8 : 4;
    std::vector<uint64_t> offsets;
    for (size_t at = t.offset + 16; at < t.offset + t.size; at += width)
        offsets.push_back(readBE(b, at, width));
    return offsets;
}

inline Bytes slice(const Bytes& b, size_t offset, size_t size) {
    return Bytes(b.begin() + offset, b.begin() + offset + size);
}

}  // namespace mp4test
