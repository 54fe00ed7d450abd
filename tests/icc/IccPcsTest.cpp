#include <gtest/gtest.h>

#include "IccPcs.h"

TEST(IccPcs, EncodingsUseTheIccFloatConstants) {
    icFloatNumber xyz[3] = {1.0, 1.0, 1.0};
    icXyzToPcs(xyz);
    EXPECT_DOUBLE_EQ(xyz[0], 0.5000076295109483);
    icXyzFromPcs(xyz);
    EXPECT_DOUBLE_EQ(xyz[1], 1.0);

    icFloatNumber lab[3] = {1.0, 0.0, 1.0};
    icLabFromPcs(lab);
    EXPECT_DOUBLE_EQ(lab[0], 100.0);
    EXPECT_DOUBLE_EQ(lab[1], -128.0);
    EXPECT_DOUBLE_EQ(lab[2], 127.0);
    icLabToPcs(lab);
    EXPECT_DOUBLE_EQ(lab[0], 1.0);
    EXPECT_DOUBLE_EQ(lab[1], 0.0);
    EXPECT_DOUBLE_EQ(lab[2], 1.0);
}

TEST(IccPcs, LabAndXyzAgreeOnTheD50WhiteAndRoundTrip) {
    icFloatNumber v[3] = {100.0, 0.0, 0.0};
    icLabtoXYZ(v, nullptr, nullptr); // in place, D50
    EXPECT_NEAR(v[0], 0.9642, 1e-12);
    EXPECT_NEAR(v[1], 1.0, 1e-12);
    EXPECT_NEAR(v[2], 0.8249, 1e-12);

    // Dark colours exercise the linear segment near black.
    for (double L : {0.0, 2.0, 7.9, 8.1, 50.0, 99.0}) {
        for (double a : {-100.0, -3.0, 0.0, 60.0}) {
            for (double b : {-90.0, 0.5, 80.0}) {
                icFloatNumber lab[3] = {L, a, b};
                icFloatNumber xyz[3];
                icLabtoXYZ(xyz, lab, nullptr);
                icFloatNumber back[3];
                icXYZtoLab(back, xyz, nullptr);
                EXPECT_NEAR(back[0], L, 1e-9);
                EXPECT_NEAR(back[1], a, 1e-9);
                EXPECT_NEAR(back[2], b, 1e-9);
            }
        }
    }
}
