#include <kuvanaTools/kuFloat.h>

#include "support/PrintfCheck.h"

#include <gtest/gtest.h>

#include <float.h>
#include <math.h>

using kutest::format;

TEST(kuFloat, ClassificationStylesRoundingFlagsBasesAndExtremePrecisions)
{
    const struct { double x; int cls; int sign; } cases[] = {
        {0.0, KU_FP_ZERO, 0}, {ku_nzero(), KU_FP_ZERO, 128}, {ku_nan(), KU_FP_NAN, 0},
        {-NAN, KU_FP_NAN, 0}, {ku_pinf(), KU_FP_INFINITE, 0}, {ku_ninf(), KU_FP_INFINITE, 1},
        {1.0, KU_FP_NORMAL, 0}, {-DBL_MAX, KU_FP_NORMAL, 1}, {DBL_MIN, KU_FP_NORMAL, 0},
        {DBL_MIN / 2, KU_FP_SUBNORMAL, 0}, {-4.9406564584124654e-324, KU_FP_SUBNORMAL, 1},
    };
    for (const auto &c : cases) {
        int sign = -1;
        const int cls = ku_fpclassify_and_signbit(c.x, &sign);
        const int inf = c.cls == KU_FP_INFINITE ? (c.sign ? -1 : 1) : 0;
        EXPECT_EQ((std::vector<int>{c.cls, c.sign, c.cls, c.sign, c.cls >= KU_FP_NORMAL,
                                    c.cls == KU_FP_NAN, inf}),
                  (std::vector<int>{cls, sign, ku_fpclassify(c.x), ku_signbit(c.x),
                                    ku_isfinite(c.x), ku_isnan(c.x), ku_isinf(c.x)}))
            << c.x;
    }
    EXPECT_EQ(KU_FP_NORMAL, ku_fpclassify_and_signbit(2.0, nullptr));

    // Standard directives are compared with the C library by the printf fuzz
    // target; these are the extensions and the departures.
    // the L modifier reads a double all the same
    EXPECT_EQ("1.500000 1.234568e+04 2.50", format("%f %e %.2Lf", 1.5, 12345.678, 2.5));
    EXPECT_EQ("0.0001 1e-05", format("%g %g", 0.0001, 0.00001));
    EXPECT_EQ("0x1p+0 0xf.fp+4 0x1p+4 0X1P-4", format("%a %a %a %A", 1.0, 255.0, 16.0, 0.0625));
    // rounding halves up
    EXPECT_EQ("1 3 2 1.", format("%.0f %.0f %.0f %#.0f", 0.5, 2.5, 1.5, 1.0));
    EXPECT_EQ("0.13 1.3 10.0 10", format("%.2f %.1f %.1f %g", 0.125, 1.25, 9.96, 9.9999999));
    EXPECT_EQ("0.20 -1", format("%.2f %.0f", 0.196, -0.5));
    EXPECT_EQ("inf|inf| -inf|NAN  |INF|nan", format("%.2f|%+f|%5f|%-5F|%E|%g", ku_pinf(), ku_pinf(),
                                                   ku_ninf(), ku_nan(), ku_pinf(), -NAN));
    // The j modifier drops trailing zeros; h rounds with a single-precision
    // tolerance.
    EXPECT_EQ("1.5|2", format("%jf|%jf", 1.5, 2.0));
    EXPECT_EQ("0.333333", format("%hf", 1.0 / 3));
    // other bases
    EXPECT_EQ("10.100000 0x1p+0 1.01e+1 0.1",
              format("%..2f %..16f %.2.2e %.1.3f", 2.5, 1.0, 2.5, 1.0 / 3));
    EXPECT_EQ("z.i Z.I", format("%.1.36f %.1.36F", 35.5, 35.5));
    // the exponent is in the base too; an invalid base is 10
    EXPECT_EQ("1.000000e+10 12.5", format("%..*e %.*.*f", 2, 4.0, 1, 99, 12.5));

    // Digits beyond a double's precision are not exact, but the lengths are.
    EXPECT_EQ("0.00001", format("%.300f", 1e-5).substr(0, 7));
    EXPECT_EQ(302u, format("%.300f", 1e-5).size());
    EXPECT_EQ(306u, format("%.300e", 1.0).size());
    EXPECT_EQ(309u + 1 + 3, format("%.3f", DBL_MAX).size());
    EXPECT_EQ(1024u, format("%.0.2f", DBL_MAX).size());
    EXPECT_EQ("1e-1111111110", format("%.0.2e", DBL_MIN));
    EXPECT_EQ(2000000, ku_snprintf(nullptr, 0, "%.1999998f", 0.5));
    EXPECT_EQ(1000002, ku_snprintf(nullptr, 0, "%.1000000.3f", 0.5));
}

