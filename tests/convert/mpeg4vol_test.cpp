// SPDX-License-Identifier: GPL-3.0-or-later
// mpeg4vol_test.cpp - the motion tools read from MPEG-4 part 2 layer headers, of ffmpeg's
// encoder and built by hand.
#include "convert/mpeg4vol.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/convert_support.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// An elementary MPEG-4 part 2 stream from ffmpeg's encoder with these options.
std::vector<uint8_t> EncodedStream(const std::string& name, const std::string& options) {
    const std::string path =
        MakeVideo(name + ".m4v", PictureSource("160x120", "25", 0.2) + " -c:v mpeg4 " + options);
    return path.empty() ? std::vector<uint8_t>{} : ReadBytes(path);
}

TEST(ReadMpeg4LayerTools, ReadsTheFlagsOfRealStreams) {
    const std::vector<uint8_t> plain = EncodedStream("plain", "");
    const std::vector<uint8_t> qpel = EncodedStream("qpel", "-flags +qpel");
    // A custom matrix sits in front of the quarter-pel flag: it must be stepped over exactly.
    const std::string matrix = "-mpeg_quant 1 -intra_matrix " + [] {
        std::string values;
        for (int i = 0; i < 64; ++i) values += (i ? "," : "") + std::to_string(8 + i);
        return values;
    }();
    const std::vector<uint8_t> qpelMatrix = EncodedStream("qpelmatrix", "-flags +qpel " + matrix);
    ASSERT_FALSE(plain.empty() || qpel.empty() || qpelMatrix.empty()) << "ffmpeg failed";

    Mpeg4LayerTools tools;
    ASSERT_TRUE(ReadMpeg4LayerTools(plain.data(), plain.size(), &tools));
    EXPECT_FALSE(tools.quarterPel);
    EXPECT_FALSE(tools.sprites);
    ASSERT_TRUE(ReadMpeg4LayerTools(qpel.data(), qpel.size(), &tools));
    EXPECT_TRUE(tools.quarterPel);
    ASSERT_TRUE(ReadMpeg4LayerTools(qpelMatrix.data(), qpelMatrix.size(), &tools));
    EXPECT_TRUE(tools.quarterPel);
    EXPECT_FALSE(tools.sprites);
}

// Big-endian bits, as a layer header is written.
class Bits {
public:
    Bits& Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (used_ % 8 == 0) bytes_.push_back(0);
            if (value >> i & 1) bytes_.back() |= uint8_t(0x80 >> used_ % 8);
            ++used_;
        }
        return *this;
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

// A layer header up to its sprite field: version 2 (two sprite bits) or 1 (one).
Bits LayerUpToSprite(int version, int sprite) {
    Bits b;
    b.Put(0x00000120, 32);                            // start code
    b.Put(0, 1).Put(17, 8);                           // random access, Advanced Simple object
    b.Put(1, 1).Put(uint32_t(version), 4).Put(1, 3);  // layer identifier
    b.Put(1, 4);                                      // square pixels
    b.Put(0, 1);                                      // no control parameters
    b.Put(0, 2);                                      // rectangular
    b.Put(1, 1).Put(30000, 16).Put(1, 1);             // time resolution between markers
    b.Put(1, 1).Put(1001, 15);                        // fixed rate: 15 bits for 30000
    b.Put(1, 1).Put(320, 13).Put(1, 1).Put(240, 13).Put(1, 1);
    b.Put(0, 1).Put(1, 1);  // progressive, no overlapped motion
    b.Put(uint32_t(sprite), version == 1 ? 1 : 2);
    return b;
}

TEST(ReadMpeg4LayerTools, SpritesAndGlobalMotionCountAsSprites) {
    for (const auto& [version, sprite] : {std::pair{2, 2}, {2, 1}, {1, 1}}) {
        Bits b = LayerUpToSprite(version, sprite);
        b.Put(0, 6).Put(0, 2).Put(0, 1);  // warping points, accuracy, brightness
        const std::vector<uint8_t> bytes = b.bytes();
        Mpeg4LayerTools tools;
        ASSERT_TRUE(ReadMpeg4LayerTools(bytes.data(), bytes.size(), &tools)) << version;
        EXPECT_TRUE(tools.sprites) << version << sprite;
    }
}

TEST(ReadMpeg4LayerTools, VersionOneHasNoQuarterPelFlag) {
    // The bit where version 2 keeps its quarter-pel flag is the next field in version 1.
    Bits b = LayerUpToSprite(1, 0);
    b.Put(0, 1).Put(0, 1).Put(1, 1).Put(1, 8);
    const std::vector<uint8_t> bytes = b.bytes();
    Mpeg4LayerTools tools;
    ASSERT_TRUE(ReadMpeg4LayerTools(bytes.data(), bytes.size(), &tools));
    EXPECT_FALSE(tools.quarterPel);
}

TEST(ReadMpeg4LayerTools, HeadersCutShortOrMissingTellNothing) {
    const std::vector<uint8_t> qpel = EncodedStream("qpel", "-flags +qpel");
    ASSERT_FALSE(qpel.empty());
    size_t layer = 0;
    while (layer + 4 < qpel.size() && !(qpel[layer] == 0 && qpel[layer + 1] == 0 &&
                                        qpel[layer + 2] == 1 && qpel[layer + 3] == 0x20))
        ++layer;
    Mpeg4LayerTools tools;
    for (size_t cut = layer; cut < layer + 10; ++cut) {
        EXPECT_FALSE(ReadMpeg4LayerTools(qpel.data(), cut, &tools)) << cut;
        EXPECT_FALSE(tools.quarterPel);
    }
    const std::vector<uint8_t> noHeader = {0, 0, 1, 0xB6, 0x12, 0x34, 0, 0, 1};
    EXPECT_FALSE(ReadMpeg4LayerTools(noHeader.data(), noHeader.size(), &tools));
    EXPECT_FALSE(ReadMpeg4LayerTools(nullptr, 0, &tools));

    Bits shaped;  // a layer of arbitrary shape, which no playable stream has
    shaped.Put(0x00000120, 32).Put(0, 9).Put(0, 1).Put(1, 4).Put(0, 1).Put(1, 2).Put(0, 16);
    const std::vector<uint8_t> bytes = shaped.bytes();
    EXPECT_FALSE(ReadMpeg4LayerTools(bytes.data(), bytes.size(), &tools));
}

}  // namespace
