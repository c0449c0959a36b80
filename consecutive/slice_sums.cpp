#include "consecutive/slice_sums.h"

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
    // Means of many bits (a slice count that is no power of two, rescaled samples) leave few
    // squares exact: after four blocks in a row that were not, the rest of the slice goes on
    // in extended precision alone.
    int misses = 0;
    for (int start = 0; start < plane_pixels; start += block) {
        if (misses < 4 && add_exact_squares_block(samples.data() + start, mean.data() + start, noise.data() + start)) {
            misses = 0;
            continue;
        }
        ++misses;
        for (int p = start; p < start + block; ++p) {
            const ext::real deviation = static_cast<ext::real>(samples[p]) - mean[p];
            noise[p] = ext::store(noise[p] + deviation * deviation);
        }
    }
}

}  // namespace snr
