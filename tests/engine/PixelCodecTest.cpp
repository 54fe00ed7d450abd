#include <gtest/gtest.h>

#include <cstring>

#include "PixelCodec.h"

TEST(PixelCodec, TheScaleFactorIsTheExactDoubleOfOneOver255) {
    uint64_t bits;
    memcpy(&bits, &kInv255, sizeof bits);
    EXPECT_EQ(bits, 0x3F70101010101010ull);
}

TEST(PixelCodec, EveryByteSurvivesDecodeAndEncode) {
    PixelLayout device{TCM_SUBTRACTIVE, 6, false, TCM_SUBTRACTIVE, 6, false};
    PixelLayout lab{TCM_LAB, 3, false, TCM_LAB, 3, false};
    for (int b = 0; b < 256; ++b) {
        const unsigned char in[6] = {(unsigned char)b,
                                     (unsigned char)(255 - b),
                                     (unsigned char)b,
                                     (unsigned char)(b ^ 0x55),
                                     0,
                                     255};
        icFloatNumber v[icMaxChannels];
        unsigned char out[6];
        DecodePixel(device, in, v);
        EncodePixel(device, v, out);
        EXPECT_EQ(0, memcmp(in, out, 6)) << b;

        // L* unsigned, a* and b* signed: every value, the negative ones and
        // 4, 20, ... 116 included, comes back unchanged.
        DecodePixel(lab, in, v);
        EncodePixel(lab, v, out);
        EXPECT_EQ(0, memcmp(in, out, 3)) << b;
    }
}

TEST(PixelCodec, LabBytesDecodeToPcsValues) {
    PixelLayout lab{TCM_LAB, 3, false, TCM_LAB, 3, false};
    const unsigned char in[3] = {255, 0x80, 0x7F}; // L 100, a -128, b 127
    icFloatNumber v[3];
    DecodePixel(lab, in, v);
    EXPECT_DOUBLE_EQ(v[0], 255 * kInv255);
    EXPECT_DOUBLE_EQ(v[1], 0.0);
    EXPECT_DOUBLE_EQ(v[2], 255 * kInv255);

    // Lab white fed to an XYZ profile arrives as the PCS-encoded D50 white.
    PixelLayout xyz{TCM_LAB, 3, true, TCM_LAB, 3, true};
    const unsigned char white[3] = {255, 0, 0};
    DecodePixel(xyz, white, v);
    EXPECT_NEAR(v[0], 0.9642 * 32768.0 / 65535.0, 1e-9);
    EXPECT_NEAR(v[1], 32768.0 / 65535.0, 1e-9);
    EXPECT_NEAR(v[2], 0.8249 * 32768.0 / 65535.0, 1e-9);
    // ... and comes back as Lab white when stored from an XYZ destination.
    unsigned char out[3];
    EncodePixel(xyz, v, out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
}

TEST(PixelCodec, OutOfRangeValuesClip) {
    PixelLayout device{TCM_ADDITIVE, 3, false, TCM_ADDITIVE, 3, false};
    icFloatNumber v[3] = {-0.2, 1.7, std::nan("")};
    unsigned char out[3];
    EncodePixel(device, v, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 255);
    EXPECT_EQ(out[2], 0);

    PixelLayout lab{TCM_ADDITIVE, 3, false, TCM_LAB, 3, false};
    icFloatNumber l[3] = {1.5, -3.0, 9.0};
    EncodePixel(lab, l, out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(static_cast<int8_t>(out[1]), -128);
    EXPECT_EQ(static_cast<int8_t>(out[2]), 127);

    // Device channels round half up.
    icFloatNumber half[3] = {0.5 / 255.0, 1.49 / 255.0, 254.5 / 255.0};
    EncodePixel(device, half, out);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2], 255);
}
