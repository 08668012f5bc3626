// SPDX-License-Identifier: GPL-3.0-or-later
// mpeg4vol.cpp - reading the video object layer header of MPEG-4 part 2 far enough to learn its
// quarter-pel and sprite flags.
#include "convert/mpeg4vol.h"

namespace {

// Big-endian bits; reads past the end give 0 and mark the reader as overrun, so a header cut
// short is told apart from one that says 0.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), bits_(size * 8) {}

    uint32_t Read(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            value <<= 1;
            if (pos_ >= bits_) {
                overrun_ = true;
                continue;
            }
            value |= (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
            ++pos_;
        }
        return value;
    }
    void Skip(int count) { (void)Read(count); }
    bool overrun() const { return overrun_; }

private:
    const uint8_t* data_;
    size_t bits_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

constexpr int kRectangular = 0;
constexpr int kStaticSprite = 1;
constexpr int kGlobalMotion = 2;
constexpr int kExtendedPixelAspect = 15;

// A quantiser matrix: up to 64 eight-bit values, ended early by a 0.
void skipMatrix(BitReader& bits) {
    for (int i = 0; i < 64; ++i) {
        if (bits.Read(8) == 0 || bits.overrun()) return;
    }
}

bool readLayer(BitReader& bits, Mpeg4LayerTools* tools) {
    bits.Skip(1);  // random_accessible_vol
    bits.Skip(8);  // video_object_type_indication
    int verid = 1;
    if (bits.Read(1)) {  // is_object_layer_identifier
        verid = int(bits.Read(4));
        bits.Skip(3);  // priority
    }
    if (bits.Read(4) == kExtendedPixelAspect) bits.Skip(16);
    if (bits.Read(1)) {  // vol_control_parameters
        bits.Skip(2);    // chroma_format
        bits.Skip(1);    // low_delay
        if (bits.Read(1)) bits.Skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1);  // vbv
    }
    const int shape = int(bits.Read(2));
    if (shape != kRectangular) return false;
    bits.Skip(1);  // marker
    const uint32_t resolution = bits.Read(16);
    bits.Skip(1);        // marker
    if (bits.Read(1)) {  // fixed_vop_rate: the increment takes as many bits as the resolution
        int width = 1;
        while (width < 16 && (1u << width) < resolution) ++width;
        bits.Skip(width);
    }
    bits.Skip(1 + 13 + 1 + 13 + 1);  // width and height between markers
    bits.Skip(1);                    // interlaced
    bits.Skip(1);                    // obmc_disable
    const int sprite = int(bits.Read(verid == 1 ? 1 : 2));
    if (sprite == kStaticSprite || sprite == kGlobalMotion) {
        // Either is a tool of the profiles above Simple; the header need not be read further.
        tools->sprites = true;
        return !bits.overrun();
    }
    if (bits.Read(1)) bits.Skip(4 + 4);  // not_8_bit: quant_precision, bits_per_pixel
    if (bits.Read(1)) {                  // quant_type: custom matrices may follow
        if (bits.Read(1)) skipMatrix(bits);
        if (bits.Read(1)) skipMatrix(bits);
    }
    if (verid != 1) tools->quarterPel = bits.Read(1) != 0;
    return !bits.overrun();
}

}  // namespace

bool ReadMpeg4LayerTools(const uint8_t* data, size_t size, Mpeg4LayerTools* tools) {
    *tools = {};
    // Layer start codes are 00 00 01 20 to 00 00 01 2F.
    for (size_t i = 0; i + 4 <= size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        if ((data[i + 3] & 0xF0) != 0x20) continue;
        BitReader bits(data + i + 4, size - i - 4);
        if (readLayer(bits, tools)) return true;
        *tools = {};
        return false;
    }
    return false;
}
