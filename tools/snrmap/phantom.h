// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstdint>
#include <random>

#include "core/plane.h"

namespace snr::snrmap {

class StagedOutput;

// A uniform disc in a zero background. Noise is added inside the disc only: the background
// keeps noise 0, so its SNR and g-factor read 0 instead of ratios of noise.
namespace phantom {
inline constexpr int centre = 128;
inline constexpr double radius = 90.0;
inline constexpr double value = 1000.0;
inline constexpr double sigma = 20.0;        // no-PI noise
inline constexpr double profile_width = 48.0;  // columns; g = 1 + exp(-((column - 128) / width)^2)
}  // namespace phantom

struct PhantomSettings {
    int repeats = 16;
    std::uint64_t seed = 1;
    double r = 2.0;
};

bool inside_disc(int row, int column);

// The known g-factor: 2 at the centre column, falling smoothly toward 1 to both sides, as the
// folding of a two-fold reduction along the columns would give.
double true_gfactor(int row, int column);

Plane true_gfactor_plane();

// Normal deviates from a generator whose sequence the standard fixes; the Box-Muller pairs
// are formed here, so the phantom is the same for a seed whatever the library.
class NormalNoise {
public:
    explicit NormalNoise(std::uint64_t seed) : bits_(seed) {}
    double next();

private:
    std::mt19937_64 bits_;
    double spare_ = 0.0;
    bool has_spare_ = false;
};

// One image: the disc with noise of sigma, times sqrt(R) x g for an image with PI.
StoredPixels phantom_image(NormalNoise& noise, bool with_pi, double r);

// Writes nopi/ and pi/ (the repeated slices), pairs/ (two images each), truth_gfactor.npy and
// phantom.json into the output. Each image says whether it has parallel imaging, and with it R,
// so that a scan pairs the no-PI and PI images into a g-factor run.
void write_phantom(const PhantomSettings& settings, StagedOutput& output);

}  // namespace snr::snrmap
