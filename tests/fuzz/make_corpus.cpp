// SPDX-License-Identifier: GPL-3.0-or-later
// make_corpus.cpp - writes the fuzz target's seed inputs into the folder it is given.
//
// Each seed is a small movie (or a near miss of one) built with the test atom builder. The last
// byte of a seed picks the title the fuzz target sets, so the builders below can end a seed with
// a chosen byte: the last metadata entry's value, the last "mdat" byte, or a one-byte "free".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../container/atom_builder.h"

using namespace mp4test;

namespace {

// Title selectors understood by the fuzz target.
constexpr uint8_t kAscii5 = 0x05;
constexpr uint8_t kAscii40 = 0x28;
constexpr uint8_t kEmptyTitle = 0x00;
constexpr uint8_t kUtf8Mix = 0x8C;
constexpr uint8_t kRawBytes = 0xD0;
constexpr uint8_t kLongFits = 0xF2;
constexpr uint8_t kLongTooLong = 0xFB;
constexpr uint8_t kNullTitle = 0xFE;
constexpr uint8_t kRepair = 0xFF;

Bytes zeros(size_t n) {
    return Bytes(n, 0);
}

Bytes ftyp() {
    return box("ftyp", cat({ascii("MSNV"), be32(0x01000000), ascii("MSNVmp42isom")}));
}

// The usual four entries, the last one's value ending in the selector byte.
Bytes usmtEnding(const Bytes& title, uint8_t selector) {
    const Bytes attr = {0x55, 0xC4, 0x00, 0x00};
    return usmt({{1, attr, title},
                 {3, attr, utf16be(u"2008/01/01 12:00:00")},
                 {4, attr, utf16be(u"moviestick")},
                 {5, {0, 0, 0, 0}, be32(selector)}});
}

Bytes usmtTitled(const std::u16string& title, uint8_t selector) {
    return usmtEnding(utf16be(title), selector);
}

Bytes mdatOf(size_t n, uint8_t last) {
    Bytes payload(n);
    for (size_t i = 0; i < n; ++i) payload[i] = uint8_t(0x10 + i);
    if (n) payload[n - 1] = last;
    return box("mdat", payload);
}

Bytes stbl(const Bytes& table) {
    return container("stbl",
                     {box("stsd", zeros(8)), box("stts", zeros(8)), box("stsc", zeros(8)), table});
}

Bytes trak(const Bytes& table) {
    return container(
        "trak",
        {box("tkhd", zeros(20)),
         container("mdia", {box("mdhd", zeros(12)), box("hdlr", cat({zeros(4), ascii("vide")})),
                            container("minf", {box("vmhd", zeros(8)), stbl(table)})})});
}

Bytes mvhd() {
    return box("mvhd", zeros(20));
}

// The atom with another size in its header, to build atoms that overlap their neighbours.
Bytes resized(Bytes atom, uint32_t size) {
    Bytes head = be32(size);
    std::copy(head.begin(), head.end(), atom.begin());
    return atom;
}

// Builds a seed twice: once to learn where each top-level "mdat" lands, then with chunk offsets
// that point into them (8 and 24 bytes into each payload).
using Layout = std::function<Bytes(const std::vector<uint32_t>& chunks)>;

std::vector<uint32_t> mdatChunks(const Bytes& file) {
    std::vector<uint32_t> chunks;
    size_t at = 0;
    while (at + 8 <= file.size()) {
        uint32_t size = uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 |
                        uint32_t(file[at + 2]) << 8 | file[at + 3];
        if (size < 8) break;
        if (std::string(file.begin() + long(at) + 4, file.begin() + long(at) + 8) == "mdat") {
            chunks.push_back(uint32_t(at + 16));
            chunks.push_back(uint32_t(at + 32));
        }
        at += size;
    }
    return chunks;
}

Bytes withChunks(const Layout& layout) {
    Bytes draft = layout(std::vector<uint32_t>(8, 0));
    std::vector<uint32_t> chunks = mdatChunks(draft);
    chunks.resize(8, 0);
    return layout(chunks);
}

std::vector<uint64_t> wide(const std::vector<uint32_t>& v) {
    return {v.begin(), v.end()};
}

std::vector<uint32_t> firstTwo(const std::vector<uint32_t>& c) {
    return {c[0], c[1]};
}

struct Seed {
    std::string name;
    Bytes bytes;
};

std::vector<Seed> seeds() {
    std::vector<Seed> s;
    const Bytes prof = profWithVideo("mp4v");
    const Bytes freeEnd = box("free", {kAscii5});

    // The usual shapes: where "moov" and the metadata atom sit decides the rewrite path.
    s.push_back({"moov-first-meta-first", withChunks([&](auto c) {
                     return cat({ftyp(),
                                 container("moov", {usmtTitled(u"Title", 1), mvhd(),
                                                    trak(stco(firstTwo(c)))}),
                                 mdatOf(48, kAscii5)});
                 })});
    s.push_back({"moov-first-meta-last", withChunks([&](auto c) {
                     return cat({ftyp(),
                                 container("moov", {mvhd(), trak(stco(firstTwo(c))),
                                                    usmtTitled(u"Title", 1)}),
                                 mdatOf(48, kAscii40)});
                 })});
    s.push_back({"mdat-first-meta-last", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(48, 0),
                                 container("moov", {mvhd(), trak(stco(firstTwo(c))),
                                                    usmtTitled(u"Title", kAscii5)})});
                 })});
    s.push_back({"mdat-first-meta-first", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(48, 0),
                                 container("moov", {usmtTitled(u"Title", 1), mvhd(),
                                                    trak(stco(firstTwo(c))), freeEnd})});
                 })});
    s.push_back({"mdat-first-meta-middle", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(48, 0),
                                 container("moov", {mvhd(), usmtTitled(u"Title", 1),
                                                    trak(stco(firstTwo(c))), freeEnd})});
                 })});

    // With the profile atom, in the layout a PSP-ready movie has.
    s.push_back({"prof-mp4v-moov-first", withChunks([&](auto c) {
                     return cat({ftyp(), prof,
                                 container("moov", {mvhd(), trak(stco(firstTwo(c))),
                                                    usmtTitled(u"Movie", 1)}),
                                 mdatOf(48, kUtf8Mix)});
                 })});
    s.push_back({"prof-avc1-mdat-first", withChunks([&](auto c) {
                     return cat({ftyp(), profWithVideo("avc1"), mdatOf(48, 0),
                                 container("moov", {mvhd(), trak(stco(firstTwo(c))),
                                                    usmtTitled(u"Movie", kUtf8Mix)})});
                 })});
    s.push_back(
        {"prof-vprf-after-other",
         cat({ftyp(),
              ::mp4test::prof({{"XPRF", zeros(4)}, {"VPRF", cat({zeros(8), ascii("avc1")})}}),
              container("moov", {mvhd(), usmtTitled(u"M", kAscii5)}), mdatOf(16, 0)})});
    s.push_back({"prof-without-vprf",
                 cat({ftyp(), ::mp4test::prof({{"FPRF", zeros(12)}, {"APRF", zeros(16)}}),
                      mdatOf(16, 0), container("moov", {mvhd(), usmtTitled(u"M", kAscii5)})})});
    s.push_back({"prof-entry-size-too-big",
                 cat({ftyp(),
                      [] {
                          Bytes atom = ::mp4test::prof(
                              {{"FPRF", zeros(12)}, {"VPRF", cat({zeros(8), ascii("avc1")})}});
                          Bytes huge = be32(0x1000);
                          std::copy(huge.begin(), huge.end(), atom.begin() + 32);
                          return atom;
                      }(),
                      mdatOf(16, 0), container("moov", {mvhd(), usmtTitled(u"M", kAscii5)})})});
    s.push_back({"prof-many-short-entries",
                 cat({ftyp(),
                      [] {
                          Bytes atom = ::mp4test::prof({{"FPRF", {}}, {"APRF", {}}});
                          Bytes count = be32(0xFFFFFFFF);
                          std::copy(count.begin(), count.end(), atom.begin() + 28);
                          return atom;
                      }(),
                      mdatOf(16, 0), container("moov", {mvhd(), usmtTitled(u"M", kAscii5)})})});

    // Chunk-offset tables: 64-bit ones, both kinds, several tracks, a table at the top level.
    s.push_back(
        {"co64-moov-first", withChunks([&](auto c) {
             return cat({ftyp(),
                         container("moov", {usmtTitled(u"Wide", 1), trak(co64(wide(firstTwo(c))))}),
                         mdatOf(48, kAscii5)});
         })});
    s.push_back({"co64-mdat-first", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(48, 0),
                                 container("moov", {trak(co64(wide(firstTwo(c)))),
                                                    usmtTitled(u"Wide", kAscii40)})});
                 })});
    s.push_back({"stco-and-co64-tracks", withChunks([&](auto c) {
                     return cat(
                         {ftyp(), prof,
                          container("moov", {usmtTitled(u"Two", 1), mvhd(), trak(stco(firstTwo(c))),
                                             trak(co64(wide(firstTwo(c))))}),
                          mdatOf(48, kRawBytes)});
                 })});
    s.push_back(
        {"stco-empty-table", cat({ftyp(), container("moov", {usmtTitled(u"T", 1), trak(stco({}))}),
                                  mdatOf(8, kAscii5)})});
    s.push_back({"stco-count-mismatch",
                 cat({ftyp(),
                      container("moov", {usmtTitled(u"T", 1),
                                         trak(box("stco", cat({be32(0), be32(3), be32(40)})))}),
                      mdatOf(16, kAscii5)})});
    s.push_back({"stco-too-short",
                 cat({ftyp(), container("moov", {usmtTitled(u"T", 1), trak(box("stco", be32(0)))}),
                      mdatOf(16, kAscii5)})});
    s.push_back({"stbl-at-top-level", withChunks([&](auto c) {
                     return cat(
                         {ftyp(),
                          container("moov", {usmtTitled(u"Top", 1), trak(stco(firstTwo(c)))}),
                          mdatOf(48, 0), stbl(stco(firstTwo(c))), mdatOf(16, kAscii5)});
                 })});
    s.push_back({"stco-at-top-level", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(48, 0), stco(firstTwo(c)),
                                 container("moov", {usmtTitled(u"Top", 1), trak(stco(firstTwo(c))),
                                                    freeEnd})});
                 })});

    // Two "mdat" atoms, each with chunks pointing into it.
    s.push_back({"two-mdats-around-moov", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(40, 0),
                                 container("moov", {usmtTitled(u"Split", 1),
                                                    trak(stco({c[0], c[1], c[2], c[3]}))}),
                                 mdatOf(40, kAscii5)});
                 })});
    s.push_back({"two-mdats-then-moov", withChunks([&](auto c) {
                     return cat({ftyp(), mdatOf(40, 0), mdatOf(40, 0),
                                 container("moov", {trak(stco({c[0], c[1], c[2], c[3]})),
                                                    usmtTitled(u"Split", kAscii40)})});
                 })});
    s.push_back({"moov-then-two-mdats", withChunks([&](auto c) {
                     return cat({ftyp(),
                                 container("moov", {trak(stco({c[0], c[1], c[2], c[3]})),
                                                    usmtTitled(u"Split", 1)}),
                                 mdatOf(40, 0), mdatOf(40, kUtf8Mix)});
                 })});

    // Metadata atoms the reader must skip or refuse.
    s.push_back(
        {"foreign-uuid-before-meta",
         cat({ftyp(), mdatOf(16, 0),
              container("moov", {box("uuid", zeros(24)), usmtTitled(u"Second", kAscii5)})})});
    s.push_back(
        {"meta-three-entries", cat({ftyp(), mdatOf(16, 0),
                                    container("moov", {usmt({{1, {0, 0, 0, 0}, utf16be(u"A")},
                                                             {3, {0, 0, 0, 0}, {}},
                                                             {4, {0, 0, 0, 0}, {}}})}),
                                    freeEnd})});
    s.push_back(
        {"meta-five-entries", cat({ftyp(), mdatOf(16, 0),
                                   container("moov", {usmt({{1, {0, 0, 0, 0}, utf16be(u"A")},
                                                            {2, {0, 0, 0, 0}, {}},
                                                            {3, {0, 0, 0, 0}, {}},
                                                            {4, {0, 0, 0, 0}, {}},
                                                            {5, {0, 0, 0, 0}, {kAscii5}}})})})});
    s.push_back({"meta-empty-title-entry",
                 cat({ftyp(), mdatOf(16, 0), container("moov", {usmtEnding({}, kAscii40)})})});
    s.push_back(
        {"meta-no-title-entry", cat({ftyp(), mdatOf(16, 0),
                                     container("moov", {usmt({{2, {0, 0, 0, 0}, utf16be(u"A")},
                                                              {3, {0, 0, 0, 0}, {}},
                                                              {4, {0, 0, 0, 0}, {}},
                                                              {5, {0, 0, 0, 0}, {kAscii5}}})})})});
    s.push_back({"meta-title-unterminated",
                 cat({ftyp(), mdatOf(16, 0),
                      container("moov", {usmtEnding(utf16be(u"Open", false), kAscii5)})})});
    s.push_back({"meta-title-widened-utf8",
                 cat({ftyp(), mdatOf(16, 0),
                      container("moov", {usmtEnding(cat({be16(0x43), be16(0x61), be16(0x66),
                                                         be16(0xC3), be16(0xA9), be16(0)}),
                                                    kRepair)})})});
    s.push_back(
        {"meta-title-widened-moov-first",
         cat({ftyp(),
              container("moov",
                        {usmtEnding(cat({be16(0xC3), be16(0xA9), be16(0)}), kRepair), mvhd()}),
              mdatOf(16, kRepair)})});
    s.push_back({"meta-title-non-ascii",
                 cat({ftyp(), mdatOf(16, 0),
                      container("moov", {usmtTitled(u"Caf\u00e9 \u20ac", kRawBytes)})})});
    s.push_back({"meta-with-tail-bytes",
                 cat({ftyp(), mdatOf(16, 0), [] {
                          Bytes atom = usmtTitled(u"Tail", 1);
                          append(atom, {'T', 'A', 'I', kAscii5});
                          return container("moov", {resized(atom, uint32_t(atom.size()))});
                      }()})});
    // The last entry's value is itself an atom header: the atom, 8 bytes short, still parses,
    // but its entries run into the "free" that follows.
    s.push_back({"meta-entry-past-atom",
                 cat({ftyp(),
                      [] {
                          const Bytes attr = {0, 0, 0, 0};
                          Bytes atom = usmt({{1, attr, utf16be(u"Overrun")},
                                             {3, attr, {}},
                                             {4, attr, {}},
                                             {5, attr, cat({be32(8), ascii("free")})}});
                          return container("moov", {resized(atom, uint32_t(atom.size() - 8))});
                      }(),
                      mdatOf(16, kAscii5)})});
    // The atom reaches past the end of "moov" into the "mdat" after it.
    s.push_back(
        {"meta-past-moov-end",
         cat({ftyp(),
              [] {
                  Bytes atom = usmtTitled(u"Spill", 1);
                  return container("moov", {mvhd(), resized(atom, uint32_t(atom.size() + 16))});
              }(),
              mdatOf(8, kAscii5)})});
    s.push_back({"meta-in-udta-only",
                 cat({ftyp(), mdatOf(16, 0),
                      container("moov", {container("udta", {usmtTitled(u"Deep", kAscii5)})})})});

    // Titles of every kind the selector offers, on a file retitled in place.
    const std::pair<const char*, uint8_t> kinds[] = {{"title-empty", kEmptyTitle},
                                                     {"title-raw-bytes", kRawBytes},
                                                     {"title-long-fits", kLongFits},
                                                     {"title-long-too-long", kLongTooLong},
                                                     {"title-null", kNullTitle}};
    for (const auto& [name, selector] : kinds)
        s.push_back({name, cat({ftyp(), mdatOf(16, 0),
                                container("moov", {mvhd(), usmtTitled(u"Before", selector)})})});

    // Sizes as cameras and streaming muxers write them: 64 bits after a size of 1, and 0 for a
    // last atom that runs to the end of the file.
    const Bytes track = trak(stco({120, 140}));
    s.push_back({"mdat-size-one-moov-first",
                 cat({ftyp(), container("moov", {usmtTitled(u"T", 1), mvhd(), track}), be32(1),
                      ascii("mdat"), be64(16 + 48), zeros(47), Bytes(1, kAscii40)})});
    s.push_back({"mdat-size-zero-moov-first",
                 cat({ftyp(), container("moov", {usmtTitled(u"T", 1), mvhd(), track}), be32(0),
                      ascii("mdat"), zeros(47), Bytes(1, kUtf8Mix)})});
    const Bytes moovChildren = cat({mvhd(), track, usmtTitled(u"Title", kAscii5)});
    s.push_back({"moov-size-zero-last",
                 cat({ftyp(), mdatOf(48, 0), be32(0), ascii("moov"), moovChildren})});
    s.push_back({"moov-size-one-last", cat({ftyp(), mdatOf(48, 0), be32(1), ascii("moov"),
                                            be64(16 + moovChildren.size()), moovChildren})});
    // Movies without the metadata atom, which a title change gives one.
    s.push_back({"no-meta-moov-first",
                 cat({ftyp(), container("moov", {mvhd(), track}), mdatOf(48, kAscii40)})});
    s.push_back({"no-meta-moov-last",
                 cat({ftyp(), mdatOf(48, 0), container("moov", {mvhd(), track}), freeEnd})});
    s.push_back(
        {"no-meta-moov-last-surrogates",
         cat({ftyp(), mdatOf(48, 0), container("moov", {mvhd(), track}), box("free", {0xBF})})});

    // Not movies, or damaged ones.
    s.push_back({"empty", {}});
    s.push_back({"ftyp-only", ftyp()});
    s.push_back({"no-mdat", cat({ftyp(), container("moov", {usmtTitled(u"T", kAscii5)})})});
    s.push_back({"no-moov", cat({ftyp(), mdatOf(16, kAscii5)})});
    s.push_back({"atom-size-zero", cat({ftyp(), container("moov", {usmtTitled(u"T", 1)}),
                                        boxWithSize(0, "mdat", zeros(8))})});
    s.push_back({"atom-size-one", cat({ftyp(), container("moov", {usmtTitled(u"T", 1)}),
                                       boxWithSize(1, "mdat", be64(24))})});
    s.push_back(
        {"atom-size-seven-in-stbl",
         cat({ftyp(), container("moov", {usmtTitled(u"T", 1), trak(boxWithSize(7, "stco", {}))}),
              mdatOf(16, kAscii5)})});
    s.push_back({"mdat-truncated", cat({ftyp(), container("moov", {usmtTitled(u"T", 1)}),
                                        boxWithSize(4096, "mdat", {0x10, 0x11, kAscii5})})});
    // "stbl" claims more than "trak" holds; the metadata atom after it is still found.
    s.push_back({"child-past-container", withChunks([&](auto c) {
                     Bytes table = stbl(stco(firstTwo(c)));
                     Bytes track = container("trak", {resized(table, uint32_t(table.size() + 40))});
                     return cat({ftyp(), mdatOf(48, 0),
                                 container("moov", {track, usmtTitled(u"T", kAscii5)})});
                 })});
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const Seed& seed : seeds()) writeFile(std::string(argv[1]) + "/" + seed.name, seed.bytes);
    return 0;
}
