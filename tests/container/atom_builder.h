// SPDX-License-Identifier: GPL-3.0-or-later
// atom_builder.h - builds MP4 atom trees in memory for the engine's tests, and temporary files.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace mp4test {

using Bytes = std::vector<uint8_t>;

Bytes be16(uint16_t v);
Bytes be32(uint32_t v);
Bytes be64(uint64_t v);
Bytes ascii(const std::string& s);  // the bytes of s, no terminator
Bytes cat(std::initializer_list<Bytes> parts);
Bytes& append(Bytes& to, const Bytes& more);

// An atom whose size is 8 + payload, or a chosen (possibly wrong) size.
Bytes box(const std::string& type, const Bytes& payload = {});
Bytes boxWithSize(uint32_t size, const std::string& type, const Bytes& payload = {});
// A container atom of the given children.
Bytes container(const std::string& type, std::initializer_list<Bytes> children);

// Chunk-offset tables.
Bytes stco(const std::vector<uint32_t>& offsets);
Bytes co64(const std::vector<uint64_t>& offsets);

// Big-endian UTF-16 of a UTF-8 string (no surrogates above U+FFFF), optionally 0x0000-terminated.
Bytes utf16be(const std::u16string& s, bool terminate = true);

struct MtdtEntrySpec {
    uint32_t type = 1;
    Bytes attr = {0x55, 0xC4, 0x00, 0x00};
    Bytes payload;
    uint16_t size = 0;  // the entry size written; 0 for the true one (10 + payload)
};
// A user-metadata "uuid" atom with exactly these entries (a count other than 4 is allowed, to
// build damaged atoms), then `tail` after the last entry, counted in the sizes.
Bytes usmt(const std::vector<MtdtEntrySpec>& entries, const Bytes& tail = {});
// The usual four entries with the given title (UTF-16, terminated) in the first.
Bytes usmtWithTitle(const std::u16string& title);

struct ProfEntrySpec {
    std::string tag;  // four letters
    Bytes body;
};
Bytes prof(const std::vector<ProfEntrySpec>& entries);
// A profile atom whose "VPRF" entry names the given video coding.
Bytes profWithVideo(const std::string& code);

// A small movie that the engine reads: ftyp, a profile atom naming the video coding, mdat, and
// moov ending in the metadata atom, so that a new title is stored in place.
Bytes smallMovie(const std::u16string& title, const std::string& videoCode = "avc1");
// The same without a metadata atom: it has no title and cannot take one.
Bytes smallMovieWithoutMetadata(const std::string& videoCode = "avc1");

// A temporary folder, removed with its content at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);
// Names in a folder, without "." and "..", sorted.
std::vector<std::string> listDir(const std::string& path);

}  // namespace mp4test
