// SPDX-License-Identifier: BSD-3-Clause
#include "consecutive/slice_sums.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "core/extended.h"

namespace snr {

namespace {

constexpr int block = plane_side;

// The error term of the rounded sum a + b (Knuth's two-sum): 0 exactly when the sum is exact;
// an overflow makes it NaN.
[[gnu::always_inline]] inline double sum_error(double a, double b, double sum)
{
    const double b_part = sum - a;
    return (a - (sum - b_part)) + (b - b_part);
}

// Sums of a block in double arithmetic, kept only where every one of them is exact: an exact
// sum is the same however it was rounded, so it equals the extended sum rounded to double.
// Sums of whole samples are always exact.
[[gnu::target_clones("avx2", "default")]] bool add_exact_block(const double* samples, double* rep, double* signal)
{
    double sums[block];
    double inexact = 0;
    for (int k = 0; k < block; ++k) {
        const double sum = signal[k] + samples[k];
        const double error = sum_error(signal[k], samples[k], sum);
        sums[k] = sum;
        inexact = error != 0 ? 1.0 : inexact;  // a NaN error compares unequal as well
    }
    if (inexact != 0)
        return false;
    for (int k = 0; k < block; ++k) {
        rep[k] = samples[k];
        signal[k] = sums[k];
    }
    return true;
}

// Squared deviations of a block in double arithmetic, kept only where every step is exact,
// as above: the difference (two-sum error 0), the square (the deviation has at most 26
// significant bits: Veltkamp's split leaves it no low part) and the sum (two-sum error 0).
// Whole samples over a power of two slices have means of few bits, and stay exact.
[[gnu::target_clones("avx2", "default")]] bool add_exact_squares_block(const double* samples, const double* mean,
                                                                       double* noise)
{
    double sums[block];
    double inexact = 0;
    for (int k = 0; k < block; ++k) {
        const double deviation = samples[k] + -mean[k];
        const double scaled = 134217729.0 * deviation;  // 2^27 + 1
        const double low_part = deviation - (scaled - (scaled - deviation));
        const double square = deviation * deviation;
        const double sum = noise[k] + square;
        sums[k] = sum;
        const double difference_error = sum_error(samples[k], -mean[k], deviation);
        const double square_error = sum_error(noise[k], square, sum);
        const bool exact = difference_error == 0 && low_part == 0 && square_error == 0;  // NaN: not exact
        inexact = exact ? inexact : 1.0;
    }
    if (inexact != 0)
        return false;
    for (int k = 0; k < block; ++k)
        noise[k] = sums[k];
    return true;
}

// noise := noise + (sample - mean)^2 over one block, in double arithmetic where every step of
// it is exact, else in extended precision. `misses` counts the blocks in a row that were not:
// from the fourth on, means of many bits (a slice count that is no power of two, rescaled
// samples) leave few squares exact, and the block goes on in extended precision alone.
void add_squared_deviations_block(const double* samples, const double* mean, double* noise, int& misses)
{
    if (misses < 4 && add_exact_squares_block(samples, mean, noise)) {
        misses = 0;
        return;
    }
    ++misses;
    for (int k = 0; k < block; ++k) {
        const ext::real deviation = static_cast<ext::real>(samples[k]) - mean[k];
        noise[k] = ext::store(noise[k] + deviation * deviation);
    }
}

}  // namespace

void add_slice(const Samples& samples, Plane& rep, Plane& signal)
{
    for (int start = 0; start < plane_pixels; start += block) {
        if (add_exact_block(samples.data() + start, rep.data() + start, signal.data() + start))
            continue;
        for (int p = start; p < start + block; ++p) {
            rep[p] = samples[p];
            signal[p] = ext::store(static_cast<ext::real>(signal[p]) + rep[p]);
        }
    }
}

void add_squared_deviations(const Samples& samples, const Plane& mean, Plane& noise)
{
    int misses = 0;
    for (int start = 0; start < plane_pixels; start += block)
        add_squared_deviations_block(samples.data() + start, mean.data() + start, noise.data() + start, misses);
}

namespace {

// totals := totals + the samples of one slice, over a tile.
[[gnu::target_clones("avx2", "default")]] void add_tile(std::int32_t* __restrict totals,
                                                        const std::int16_t* __restrict samples, int count)
{
    for (int k = 0; k < count; ++k)
        totals[k] += samples[k];
}

// Slices taken together at most: their 32-bit totals of 16-bit samples, and 64-bit sums of
// squares below 2^52 each, stay in range.
constexpr std::size_t most_together = 1024;

void add_whole_together(std::span<const StoredPixels* const> slices, Plane& rep, Plane& signal)
{
    // Whole numbers below 2^53 add up exactly in any grouping: a tile takes the slices' total
    // at once, as the sum of its whole signal and 32-bit totals of 16-bit samples.
    constexpr int tile = 1024;
    const StoredPixels& last = *slices.back();
    for (int start = 0; start < plane_pixels; start += tile) {
        std::int32_t totals[tile] = {};
        for (const StoredPixels* slice : slices)
            add_tile(totals, slice->data() + start, tile);
        for (int k = 0; k < tile; ++k) {
            signal[start + k] += totals[k];
            rep[start + k] = last[start + k];
        }
    }
}

// Whole samples against means of at most ten fractional bits, in fixed point: with
// mean = m / 2^10, the deviation is d / 2^10 for d = 2^10 sample - m, below 2^26 in magnitude,
// its square d^2 / 2^20 and the noise q / 2^20 for a whole q. Every step is exact, in extended
// precision as here, and so is each double sum below 2^52 / 2^20; q only grows, so its last
// value tells.
constexpr double fixed_scale = 1024.0;
constexpr double noise_scale = fixed_scale * fixed_scale;
constexpr double fixed_mean_limit = 33554432.0;  // 2^25
// Whole numbers in [0, 2^52) go to and from 64-bit integers through 2^52 + q, whose mantissa
// holds q: a conversion that vectorises where the processor has none of its own.
constexpr double magic = 4503599627370496.0;  // 2^52
constexpr std::int64_t magic_bits = std::bit_cast<std::int64_t>(magic);

// The block's means and noise in fixed point, if each is one.
[[gnu::target_clones("avx2", "default")]] bool to_fixed(const double* __restrict mean, const double* __restrict noise,
                                                        std::int32_t* __restrict fixed_mean,
                                                        std::int64_t* __restrict fixed_noise)
{
    int misfits = 0;
    for (int k = 0; k < block; ++k) {
        const double m = mean[k] * fixed_scale;
        const bool m_in_range = m >= -fixed_mean_limit && m <= fixed_mean_limit;  // not NaN either
        fixed_mean[k] = static_cast<std::int32_t>(m_in_range ? m : 0.0);
        const double q = noise[k] * noise_scale;
        const bool q_in_range = q >= 0 && q < magic;
        const double shifted = (q_in_range ? q : 0.0) + magic;
        fixed_noise[k] = std::bit_cast<std::int64_t>(shifted) - magic_bits;
        misfits |= static_cast<int>(!m_in_range) | static_cast<int>(static_cast<double>(fixed_mean[k]) != m) |
                   static_cast<int>(!q_in_range) | static_cast<int>(shifted - magic != q);
    }
    return misfits == 0;
}

// The block's noise back from fixed point, if each value is still below 2^52.
[[gnu::target_clones("avx2", "default")]] bool from_fixed(const std::int64_t* __restrict fixed_noise,
                                                          double* __restrict noise)
{
    int misfits = 0;
    for (int k = 0; k < block; ++k)
        misfits |= static_cast<int>(fixed_noise[k] >= std::int64_t{1} << 52);
    if (misfits != 0)
        return false;
    for (int k = 0; k < block; ++k)
        noise[k] = (std::bit_cast<double>(fixed_noise[k] + magic_bits) - magic) / noise_scale;
    return true;
}

[[gnu::target_clones("avx2", "default")]] void add_fixed_squares(std::int64_t* __restrict noise,
                                                                 const std::int32_t* __restrict mean,
                                                                 const std::int16_t* __restrict samples)
{
    for (int k = 0; k < block; ++k) {
        const std::int32_t deviation = samples[k] * 1024 - mean[k];
        noise[k] += static_cast<std::int64_t>(deviation) * deviation;
    }
}

void add_whole_squares_together(std::span<const StoredPixels* const> slices, const Plane& mean, Plane& noise)
{
    // Block by block, each slice in turn: the block's noise stays at hand for all of them.
    std::vector<int> misses(slices.size());
    for (int start = 0; start < plane_pixels; start += block) {
        std::int32_t fixed_mean[block];
        std::int64_t fixed[block];
        if (to_fixed(mean.data() + start, noise.data() + start, fixed_mean, fixed)) {
            for (const StoredPixels* slice : slices)
                add_fixed_squares(fixed, fixed_mean, slice->data() + start);
            if (from_fixed(fixed, noise.data() + start))
                continue;
        }
        for (std::size_t j = 0; j < slices.size(); ++j) {
            double samples[block];
            for (int k = 0; k < block; ++k)
                samples[k] = (*slices[j])[start + k];
            add_squared_deviations_block(samples, mean.data() + start, noise.data() + start, misses[j]);
        }
    }
}

}  // namespace

void add_whole_slices(std::span<const StoredPixels* const> slices, Plane& rep, Plane& signal)
{
    for (std::size_t first = 0; first < slices.size(); first += most_together)
        add_whole_together(slices.subspan(first, std::min(most_together, slices.size() - first)), rep, signal);
}

void add_whole_squared_deviations(std::span<const StoredPixels* const> slices, const Plane& mean, Plane& noise)
{
    for (std::size_t first = 0; first < slices.size(); first += most_together)
        add_whole_squares_together(slices.subspan(first, std::min(most_together, slices.size() - first)), mean, noise);
}

}  // namespace snr
