#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>

#include "consecutive/slice_sums.h"
#include "core/errors.h"

namespace snr {
namespace {

struct Planes {
    Samples samples{};
    Plane rep{}, signal{}, noise{};
};

TEST(SliceSums, SumsAreExtendedThenRoundedEvenWhereDoubleArithmeticRoundsOtherwise)
{
    auto planes = std::make_unique<Planes>();
    // 1 + (2^-53 + 2^-105): rounded to double at once it is 1 + 2^-52; through the 64-bit
    // mantissa it first becomes the tie 1 + 2^-53, which rounds to even: 1.
    planes->signal[300] = 1.0;
    planes->samples[300] = std::ldexp(1.0, -53) + std::ldexp(1.0, -105);
    planes->samples[301] = 32767;  // whole numbers in the same block: exact either way
    planes->signal[301] = 1e15;
    add_slice(planes->samples, planes->rep, planes->signal);
    EXPECT_EQ(planes->signal[300], 1.0);
    EXPECT_EQ(planes->rep[300], planes->samples[300]);
    EXPECT_EQ(planes->signal[301], 1e15 + 32767);
    EXPECT_EQ(planes->rep[65535], 0.0);

    // The squared deviations: sample 3, mean 0.1 gives (2.9)^2 in extended precision.
    planes->samples[7] = 3;
    Plane mean{};
    mean[7] = 0.1;
    add_squared_deviations(planes->samples, mean, planes->noise);
    EXPECT_EQ(planes->noise[7], static_cast<double>((3 - 0.1L) * (3 - 0.1L)));
}

TEST(SliceSums, AnOverflowStopsAtItsPixelWithThePixelsBeforeItDone)
{
    auto planes = std::make_unique<Planes>();
    planes->samples.fill(1);
    planes->signal[300] = DBL_MAX;
    planes->samples[300] = DBL_MAX;
    try {
        add_slice(planes->samples, planes->rep, planes->signal);
        FAIL() << "no overflow";
    } catch (const FloatError& error) {
        EXPECT_STREQ(error.what(), "浮動小数点数のオーバーフロー");
    }
    EXPECT_EQ(planes->signal[299], 1.0);  // the block before it and the pixels before it in its block
    EXPECT_EQ(planes->signal[256], 1.0);
    EXPECT_EQ(planes->rep[300], DBL_MAX);  // the sample is taken before the sum fails
    EXPECT_EQ(planes->signal[300], DBL_MAX);
    EXPECT_EQ(planes->rep[301], 0.0);
    EXPECT_EQ(planes->signal[301], 0.0);

    planes->samples.fill(0);
    planes->samples[5] = 1e200;
    EXPECT_THROW(add_squared_deviations(planes->samples, Plane{}, planes->noise), FloatError);
    EXPECT_EQ(planes->noise[4], 0.0);
    EXPECT_EQ(planes->noise[5], 0.0);
}

}  // namespace
}  // namespace snr
