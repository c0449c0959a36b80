#include "consecutive/slice_sums.h"

#include "core/extended.h"

namespace snr {

namespace {

constexpr int block = plane_side;

// Sums of a block in double arithmetic, kept only where every one of them is exact: an exact
// sum is the same however it was rounded, so it equals the extended sum rounded to double.
// Exactness is tested with the error term of the sum (Knuth's two-sum), which is 0 exactly when
// the rounded sum is exact; an overflow makes it NaN. Sums of whole samples are always exact.
[[gnu::target_clones("avx2", "default")]] bool add_exact_block(const double* samples, double* rep, double* signal)
{
    double sums[block];
    double inexact = 0;
    for (int k = 0; k < block; ++k) {
        const double a = signal[k], b = samples[k];
        const double sum = a + b;
        const double b_part = sum - a;
        const double error = (a - (sum - b_part)) + (b - b_part);
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
    for (int p = 0; p < plane_pixels; ++p) {
        const ext::real deviation = static_cast<ext::real>(samples[p]) - mean[p];
        noise[p] = ext::store(noise[p] + deviation * deviation);
    }
}

}  // namespace snr
