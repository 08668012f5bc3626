// SPDX-License-Identifier: GPL-3.0-or-later
// target.cpp - fitting a video's picture and frame rate to the PSP.
#include "convert/target.h"

#include <algorithm>
#include <cmath>

namespace {

double valueOf(Ratio r) {
    return double(r.num) / r.den;
}

// Bars are whole pairs of chroma samples, so that the picture starts on a chroma sample and
// the bars' colour does not bleed into it: sides and offsets in steps of 4 pixels.
int roundToStep(double side, int most) {
    const int step = 4;
    const int rounded = int(std::lround(side / step)) * step;
    return std::clamp(rounded, step, most);
}

// The character that starts at s (n bytes left) and its length in bytes; 0 when the bytes
// there are not UTF-8 (a stray continuation, a cut or overlong sequence, a surrogate).
size_t decodeUtf8(const unsigned char* s, size_t n, char32_t* c) {
    const unsigned char lead = s[0];
    // The lead byte's high bits give the length; the rest of it starts the character.
    const size_t length = lead < 0x80         ? 1
                          : lead >> 5 == 0x06 ? 2
                          : lead >> 4 == 0x0E ? 3
                          : lead >> 3 == 0x1E ? 4
                                              : 0;
    if (length == 0 || length > n) return 0;
    *c = lead & (0xFF >> (length == 1 ? 1 : length + 1));
    for (size_t k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        *c = *c << 6 | (s[k] & 0x3F);
    }
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (*c < kLeast[length] || *c > 0x10FFFF || (*c >= 0xD800 && *c <= 0xDFFF)) return 0;
    return length;
}

void appendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        *out += char(c);
    } else if (c < 0x800) {
        *out += char(0xC0 | c >> 6);
        *out += char(0x80 | (c & 0x3F));
    } else {
        *out += char(0xE0 | c >> 12);
        *out += char(0x80 | (c >> 6 & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    }
}

}  // namespace

Placement PlacePicture(int width, int height, Ratio sampleAspect) {
    if (width <= 0 || height <= 0) return {};
    const double sar = sampleAspect.num > 0 && sampleAspect.den > 0 ? valueOf(sampleAspect) : 1;
    const double aspect = width * sar / height;
    Placement place;
    if (aspect >= double(kPspWidth) / kPspHeight) {
        place.height = roundToStep(kPspWidth / aspect, kPspHeight);
    } else {
        place.width = roundToStep(kPspHeight * aspect, kPspWidth);
    }
    place.x = (kPspWidth - place.width) / 2;
    place.y = (kPspHeight - place.height) / 2;
    return place;
}

Ratio ConvertedFrameRate(Ratio input) {
    if (input.num <= 0 || input.den <= 0) return kPspFrameRate;
    const double rate = valueOf(input);
    const double most = valueOf(kPspFrameRate);
    if (rate <= most) return input;
    // Whole rates such as 60 are a thousandth above twice the NTSC rate; they still halve.
    const int divisor = int(std::ceil(rate / (most * 1.002)));
    const Ratio divided{input.num, input.den * divisor};
    return valueOf(divided) <= most ? divided : kPspFrameRate;
}

// The muxer drops the whole title entry at a byte that is not UTF-8, leaving an atom that says
// four entries and holds three, and writes only the low 16 bits of larger characters.
std::string PspTitle(const std::string& title) {
    constexpr size_t kMaxBytes = 766;
    std::string out;
    const auto* s = reinterpret_cast<const unsigned char*>(title.data());
    for (size_t i = 0; i < title.size() && s[i] != 0;) {
        char32_t c = 0;
        const size_t length = decodeUtf8(s + i, title.size() - i, &c);
        if (length == 0) {
            ++i;  // a stray byte goes, and the next one is read afresh
            continue;
        }
        std::string character;
        appendUtf8(c > 0xFFFF ? U' ' : c, &character);
        if (out.size() + character.size() > kMaxBytes) break;
        out += character;
        i += length;
    }
    return out;
}
