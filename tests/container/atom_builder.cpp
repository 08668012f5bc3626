// SPDX-License-Identifier: GPL-3.0-or-later
// atom_builder.cpp - builds MP4 atom trees in memory for the engine's tests.
#include "atom_builder.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace mp4test {

Bytes be16(uint16_t v) {
    return {uint8_t(v >> 8), uint8_t(v)};
}

Bytes be32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

Bytes be64(uint64_t v) {
    return cat({be32(uint32_t(v >> 32)), be32(uint32_t(v))});
}

Bytes ascii(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes& append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
    return to;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) append(out, p);
    return out;
}

Bytes boxWithSize(uint32_t size, const std::string& type, const Bytes& payload) {
    if (type.size() != 4) throw std::invalid_argument("atom type must have four letters: " + type);
    return cat({be32(size), ascii(type), payload});
}

Bytes box(const std::string& type, const Bytes& payload) {
    return boxWithSize(uint32_t(8 + payload.size()), type, payload);
}

Bytes container(const std::string& type, std::initializer_list<Bytes> children) {
    return box(type, cat(children));
}

Bytes stco(const std::vector<uint32_t>& offsets) {
    Bytes payload = cat({be32(0), be32(uint32_t(offsets.size()))});
    for (uint32_t o : offsets) append(payload, be32(o));
    return box("stco", payload);
}

Bytes co64(const std::vector<uint64_t>& offsets) {
    Bytes payload = cat({be32(0), be32(uint32_t(offsets.size()))});
    for (uint64_t o : offsets) append(payload, be64(o));
    return box("co64", payload);
}

Bytes utf16be(const std::u16string& s, bool terminate) {
    Bytes out;
    for (char16_t c : s) append(out, be16(uint16_t(c)));
    if (terminate) append(out, be16(0));
    return out;
}

static const Bytes kUsmtCode = {0x55, 0x53, 0x4D, 0x54, 0x21, 0xD2, 0x4F, 0xCE,
                                0xBB, 0x88, 0x69, 0x5C, 0xFA, 0xC9, 0xC7, 0x40};
static const Bytes kProfCode = {0x50, 0x52, 0x4F, 0x46, 0x21, 0xD2, 0x4F, 0xCE,
                                0xBB, 0x88, 0x69, 0x5C, 0xFA, 0xC9, 0xC7, 0x40};

Bytes usmt(const std::vector<MtdtEntrySpec>& entries, const Bytes& tail) {
    Bytes list;
    for (const MtdtEntrySpec& e : entries) {
        uint16_t size = e.size != 0 ? e.size : uint16_t(10 + e.payload.size());
        append(list, cat({be16(size), be32(e.type), e.attr, e.payload}));
    }
    Bytes mtdt = cat({ascii("MTDT"), be16(uint16_t(entries.size())), list, tail});
    return box("uuid", cat({kUsmtCode, be32(uint32_t(4 + mtdt.size())), mtdt}));
}

Bytes usmtWithTitle(const std::u16string& title) {
    return usmt({{1, {0x55, 0xC4, 0x00, 0x00}, utf16be(title)},
                 {3, {0x55, 0xC4, 0x00, 0x00}, utf16be(u"2008/01/01 12:00:00")},
                 {4, {0x55, 0xC4, 0x00, 0x00}, utf16be(u"moviestick")},
                 {5, {0x00, 0x00, 0x00, 0x00}, be32(0x00000001)}});
}

Bytes prof(const std::vector<ProfEntrySpec>& entries) {
    Bytes list;
    for (const ProfEntrySpec& e : entries)
        append(list, cat({be32(uint32_t(8 + e.body.size())), ascii(e.tag), e.body}));
    return box("uuid", cat({kProfCode, be32(0), be32(uint32_t(entries.size())), list}));
}

Bytes profWithVideo(const std::string& code) {
    return prof({{"FPRF", cat({be32(0), be32(0), be32(0)})},
                 {"APRF", cat({be32(0), be32(2), ascii("mp4a"), be32(128000)})},
                 {"VPRF", cat({be32(0), be32(1), ascii(code), be32(0x0000000D), be32(480)})}});
}

static Bytes smallMovieWith(const Bytes& moovTail, const std::string& videoCode) {
    return cat({box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")})),
                profWithVideo(videoCode), box("mdat", Bytes(64, 0x5A)),
                container("moov",
                          {box("mvhd", cat({Bytes(12, 0), be32(1000), Bytes(84, 0)})), moovTail})});
}

Bytes smallMovie(const std::u16string& title, const std::string& videoCode) {
    return smallMovieWith(usmtWithTitle(title), videoCode);
}

Bytes smallMovieWithoutMetadata(const std::string& videoCode) {
    return smallMovieWith({}, videoCode);
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "moviestick-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<std::string> listDir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace mp4test
