// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <random>
#include <span>
#include <vector>

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

TEST(SliceSums, SquaredDeviationsEqualTheExtendedOnesWhereverDoubleArithmeticIsExactOrNot)
{
    // Whole samples and means over 64 slices: every step exact in double arithmetic. Pixel
    // (100, 5) has an exact difference and sum but a square that rounds otherwise through the
    // 64-bit mantissa, pixel (120, 9) a difference that rounds in double; rows 150-155 have means of many bits, after which the slice goes on in
    // extended precision alone.
    auto planes = std::make_unique<Planes>();
    Plane mean{};
    std::mt19937 random(7);
    for (int p = 0; p < plane_pixels; ++p) {
        planes->samples[p] = static_cast<double>(static_cast<int>(random() % 4096) - 2048);
        const double whole = static_cast<double>(static_cast<int>(random() % 262144) - 131072) / 64;
        mean[p] = p / plane_side >= 150 && p / plane_side < 156 ? whole + 0.1 : whole;
        planes->noise[p] = static_cast<double>(random() % 100000) / 4096;
    }
    const int tie = 100 * plane_side + 5;
    planes->samples[tie] = 1250;
    mean[tie] = 1250 - 0x1.384a8c6f5f2a5p+10;
    planes->noise[tie] = 0;
    const int rounded = 120 * plane_side + 9;  // a difference that rounds to a number of few bits
    planes->samples[rounded] = 0x1p53;
    mean[rounded] = 0.375;
    planes->noise[rounded] = 0;
    Plane expected{};
    for (int p = 0; p < plane_pixels; ++p) {
        const long double deviation = static_cast<long double>(planes->samples[p]) - mean[p];
        expected[p] = static_cast<double>(planes->noise[p] + deviation * deviation);
    }
    ASSERT_NE(expected[tie], (planes->samples[tie] - mean[tie]) * (planes->samples[tie] - mean[tie]));

    add_squared_deviations(planes->samples, mean, planes->noise);
    for (int p = 0; p < plane_pixels; ++p)
        ASSERT_EQ(planes->noise[p], expected[p]) << "pixel " << p;
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

// The slices' sums one after the other, each rounded to double where it is stored; the
// squared deviations from the mean, or from the given one.
struct OneByOne {
    Plane signal{}, mean{}, noise{};
    OneByOne(const std::vector<StoredPixels>& slices, const Plane* given_mean = nullptr)
    {
        for (const StoredPixels& slice : slices) {
            for (int p = 0; p < plane_pixels; ++p)
                signal[p] = static_cast<double>(signal[p] + static_cast<long double>(slice[p]));
        }
        for (int p = 0; p < plane_pixels; ++p)
            mean[p] = static_cast<double>(signal[p] / static_cast<long double>(slices.size()));
        if (given_mean != nullptr)
            mean = *given_mean;
        for (const StoredPixels& slice : slices) {
            for (int p = 0; p < plane_pixels; ++p) {
                const long double deviation = slice[p] - static_cast<long double>(mean[p]);
                noise[p] = static_cast<double>(noise[p] + deviation * deviation);
            }
        }
    }
};

TEST(SliceSums, WholeSlicesInBatchesGiveTheSumsOfOneAfterTheOther)
{
    // 16 slices: means of four fractional bits, worked in fixed point. 3 slices: means of many
    // bits. Then means of ten fractional bits, the finest the fixed point takes, against which
    // the extreme samples of rows 0-3 have squares that outgrow it and round in double.
    for (const std::size_t count : {std::size_t{16}, std::size_t{3}, std::size_t{17}}) {
        std::mt19937 random(static_cast<unsigned>(count));
        std::vector<StoredPixels> slices(count);
        for (std::size_t j = 0; j < count; ++j) {
            for (int p = 0; p < plane_pixels; ++p) {
                const int low_bits = static_cast<int>(random() % 256);
                const bool extreme = p < 4 * plane_side;
                slices[j][p] = extreme ? static_cast<std::int16_t>(j % 2 == 0 ? -32768 + low_bits : 32767 - low_bits)
                                       : static_cast<std::int16_t>(static_cast<int>(random() % 8192) - 4096);
            }
        }
        Plane fine_mean;
        for (double& value : fine_mean)
            value = static_cast<double>(static_cast<int>(random() % 2048) - 1024) / 1024;
        const OneByOne expected(slices, count == 17 ? &fine_mean : nullptr);

        auto planes = std::make_unique<Planes>();
        std::vector<const StoredPixels*> batch;
        const auto add_in_batches = [&](auto add) {
            // Batches of 5, 1, 5, 1, ...: several slices in a tile, and one alone.
            for (std::size_t first = 0; first < count;) {
                const std::size_t size = std::min(count - first, first % 6 == 0 ? std::size_t{5} : std::size_t{1});
                batch.clear();
                for (std::size_t j = first; j < first + size; ++j)
                    batch.push_back(&slices[j]);
                add(std::span<const StoredPixels* const>(batch));
                first += size;
            }
        };
        add_in_batches([&](auto some) { add_whole_slices(some, planes->rep, planes->signal); });
        add_in_batches([&](auto some) { add_whole_squared_deviations(some, expected.mean, planes->noise); });

        EXPECT_EQ(planes->signal, expected.signal) << count << " slices";
        EXPECT_EQ(planes->noise, expected.noise) << count << " slices";
        EXPECT_TRUE(std::equal(planes->rep.begin(), planes->rep.end(), slices.back().begin()));
    }

    // A noise of finer bits than the fixed point holds goes on in floating point.
    auto planes = std::make_unique<Planes>();
    planes->noise[5] = 0x1p-30;
    StoredPixels threes;
    threes.fill(3);
    const StoredPixels* one[] = {&threes};
    add_whole_squared_deviations(one, Plane{}, planes->noise);
    EXPECT_EQ(planes->noise[5], 9 + 0x1p-30);
    EXPECT_EQ(planes->noise[6], 9.0);
}

}  // namespace
}  // namespace snr
