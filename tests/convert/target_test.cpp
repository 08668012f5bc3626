// SPDX-License-Identifier: GPL-3.0-or-later
// target_test.cpp - fitting pictures and frame rates to the PSP, and the size estimate.
#include "convert/target.h"

#include <gtest/gtest.h>

#include "convert/convert.h"

namespace {

// Bars of whole chroma pairs, centred, and the picture inside the frame.
void ExpectWellPlaced(const Placement& p) {
    EXPECT_EQ(p.x % 2, 0);
    EXPECT_EQ(p.y % 2, 0);
    EXPECT_EQ(p.width % 4, 0);
    EXPECT_EQ(p.height % 4, 0);
    EXPECT_EQ(2 * p.x + p.width, kPspWidth);
    EXPECT_EQ(2 * p.y + p.height, kPspHeight);
}

TEST(PlacePicture, WidescreenFillsTheScreenWithinRounding) {
    // 16:9 is 0.7 % wider than the screen: two rows of bars would be all it needs, and bars
    // come in steps of four, so it fills the screen (as -s 480x272 would).
    for (const auto& [w, h] : {std::pair{1280, 720}, {1920, 1080}, {3840, 2160}}) {
        const Placement p = PlacePicture(w, h, {1, 1});
        EXPECT_EQ(p.width, 480) << w;
        EXPECT_EQ(p.height, 272) << w;
    }
}

TEST(PlacePicture, NarrowerPicturesGetBarsAtTheSides) {
    const Placement square = PlacePicture(640, 480, {1, 1});  // 4:3
    EXPECT_EQ(square.height, 272);
    EXPECT_EQ(square.width, 364);  // 362.7 to the step
    ExpectWellPlaced(square);

    const Placement portrait = PlacePicture(1080, 1920, {1, 1});
    EXPECT_EQ(portrait.height, 272);
    EXPECT_EQ(portrait.width, 152);
    ExpectWellPlaced(portrait);
}

TEST(PlacePicture, WiderPicturesGetBarsAboveAndBelow) {
    const Placement scope = PlacePicture(1920, 800, {1, 1});  // 2.4:1
    EXPECT_EQ(scope.width, 480);
    EXPECT_EQ(scope.height, 200);
    ExpectWellPlaced(scope);
}

TEST(PlacePicture, TheSampleAspectRatioDecidesTheShape) {
    // DVD pixels: 720 x 480 is 4:3 with 8:9 pixels, 16:9 with 32:27 ones.
    const Placement fourThree = PlacePicture(720, 480, {8, 9});
    EXPECT_EQ(fourThree.width, 364);
    ExpectWellPlaced(fourThree);
    const Placement wide = PlacePicture(720, 480, {32, 27});
    EXPECT_EQ(wide.width, 480);
    EXPECT_EQ(wide.height, 272);
    // An unknown or broken ratio counts as square pixels.
    EXPECT_EQ(PlacePicture(640, 480, {0, 1}).width, 364);
    EXPECT_EQ(PlacePicture(640, 480, {1, 0}).width, 364);
}

TEST(PlacePicture, ExtremeShapesStillGiveAPictureInsideTheFrame) {
    ExpectWellPlaced(PlacePicture(10000, 2, {1, 1}));
    ExpectWellPlaced(PlacePicture(2, 10000, {1, 1}));
    EXPECT_GE(PlacePicture(10000, 2, {1, 1}).height, 4);
    const Placement none = PlacePicture(0, 0, {1, 1});
    EXPECT_EQ(none.width, kPspWidth);
}

double Fps(Ratio r) {
    return double(r.num) / r.den;
}

TEST(ConvertedFrameRate, RatesUpToThePspsAreKept) {
    for (const Ratio rate : {Ratio{24000, 1001}, Ratio{25, 1}, Ratio{30000, 1001}, Ratio{15, 1}}) {
        const Ratio out = ConvertedFrameRate(rate);
        EXPECT_EQ(out.num, rate.num);
        EXPECT_EQ(out.den, rate.den);
    }
}

TEST(ConvertedFrameRate, FasterRatesAreDividedThenCapped) {
    EXPECT_DOUBLE_EQ(Fps(ConvertedFrameRate({50, 1})), 25);
    EXPECT_DOUBLE_EQ(Fps(ConvertedFrameRate({48, 1})), 24);
    EXPECT_DOUBLE_EQ(Fps(ConvertedFrameRate({100, 1})), 25);
    EXPECT_DOUBLE_EQ(Fps(ConvertedFrameRate({60000, 1001})), 30000.0 / 1001);
    // Whole rates land a thousandth above the cap and are held to it.
    for (const Ratio rate : {Ratio{30, 1}, Ratio{60, 1}, Ratio{120, 1}}) {
        const Ratio out = ConvertedFrameRate(rate);
        EXPECT_EQ(out.num, 30000) << rate.num;
        EXPECT_EQ(out.den, 1001) << rate.num;
    }
    for (const int fps : {31, 45, 59, 75, 90, 144, 240, 1000})
        EXPECT_LE(Fps(ConvertedFrameRate({fps, 1})), Fps(kPspFrameRate)) << fps;
}

TEST(ConvertedFrameRate, AnUnknownRateGetsThePspsRate) {
    EXPECT_EQ(ConvertedFrameRate({0, 1}).num, kPspFrameRate.num);
    EXPECT_EQ(ConvertedFrameRate({25, 0}).num, kPspFrameRate.num);
}

TEST(EstimateConvertedBytes, CountsBothBitRatesAndFivePercent) {
    VideoFacts facts;
    facts.duration = 60;
    facts.audio = AudioCoding::kOther;
    // (768 + 128) kbit/s for 60 s is 6,720,000 bytes, and 5 % more.
    EXPECT_EQ(EstimateConvertedBytes(facts, kStandardVideoKbps), 7'056'000);
    EXPECT_EQ(EstimateConvertedBytes(facts, kHighVideoKbps), 12'820'500);
    facts.audio = AudioCoding::kNone;  // a silent movie gets no sound track
    EXPECT_EQ(EstimateConvertedBytes(facts, kStandardVideoKbps), 6'048'000);
    facts.duration = 0;
    EXPECT_EQ(EstimateConvertedBytes(facts, kStandardVideoKbps), 0);
}

TEST(PspTitle, KeepsUtf8TheMetadataAtomCanHold) {
    EXPECT_EQ(PspTitle("Holiday 2024"), "Holiday 2024");
    EXPECT_EQ(PspTitle("Caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC"),
              "Caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(PspTitle(""), "");
}

TEST(PspTitle, DropsWhatTheMuxerWouldMangle) {
    // Characters beyond 16 bits become spaces, one each.
    EXPECT_EQ(PspTitle("a\xF0\x9F\x98\x80"
                       "b"),
              "a b");
    // Bytes that are not UTF-8 go, and what follows them is read afresh.
    EXPECT_EQ(PspTitle("Caf\xE9 bar"), "Caf bar");  // Latin-1
    EXPECT_EQ(PspTitle("x\x80\xBFy"), "xy");        // stray continuations
    EXPECT_EQ(PspTitle("x\xC3"), "x");              // cut at the end
    EXPECT_EQ(PspTitle("x\xC3"
                       "Ay"),
              "xAy");                             // cut in the middle
    EXPECT_EQ(PspTitle("x\xC0\xAFy"), "xy");      // overlong "/"
    EXPECT_EQ(PspTitle("x\xED\xA0\x80y"), "xy");  // a surrogate
    EXPECT_EQ(PspTitle(std::string("ab\0cd", 5)), "ab");
}

TEST(PspTitle, IsCutAtACharacterTo766Bytes) {
    const std::string ascii(1000, 'a');
    EXPECT_EQ(PspTitle(ascii).size(), 766u);
    std::string euros;  // three bytes each: 255 of them fill 765 bytes
    for (int i = 0; i < 300; ++i) euros += "\xE2\x82\xAC";
    EXPECT_EQ(PspTitle(euros).size(), 765u);
}

}  // namespace
