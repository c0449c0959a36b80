// SPDX-License-Identifier: BSD-3-Clause
#include "submap/submap_run.h"

#include <array>
#include <cstdint>
#include <tuple>

#include "core/display.h"
#include "core/extended.h"
#include "core/gfactor.h"
#include "core/large_memory.h"
#include "core/legend.h"
#include "core/slice_file.h"
#include "core/together.h"
#include "submap/submap_items.h"
#include "run/input_notices.h"
#include "run/run_ending.h"

namespace snr {

namespace {

// Centres: rows and columns whose 7 x 7 window lies inside the plane.
constexpr int first_centre = 3;
constexpr int last_centre = plane_side - 4;
constexpr int reach = 3;

// Centres handled side by side: their window sums are independent chains, so the latency of
// the x87 additions overlaps. Each sum still keeps its own order, and sums of 16-bit samples
// cannot overflow, so no error can come from a later centre first. 250 centres per row.
constexpr int lanes = 5;
static_assert((last_centre - first_centre + 1) % lanes == 0);

// Sums of term(i, j, k) over the windows of (r, c + k), k < lanes, each from 0 in window order
// (rows outer) and rounded to double after every addition, formed afresh for every centre.
template <class Term>
std::array<double, lanes> window_sums(int r, int c, Term term)
{
    std::array<double, lanes> sums{};
    for (int i = r - reach; i <= r + reach; ++i) {
        for (int j = c - reach; j <= c + reach; ++j) {
            for (int k = 0; k < lanes; ++k)
                sums[k] = ext::store(static_cast<ext::real>(sums[k]) + term(i, j + k, k));
        }
    }
    return sums;
}

// Whole numbers small enough that any sum of 49 of them is exact in double arithmetic.
bool small_whole_numbers(const Plane& plane)
{
    bool whole = true;
    for (double value : plane) {
        const bool small = value >= -2147483647.0 && value <= 2147483647.0;
        whole &= small && static_cast<double>(static_cast<std::int32_t>(small ? value : 0.0)) == value;
    }
    return whole;
}

void local_mean(const Plane& source, Plane& mean)
{
    if (small_whole_numbers(source)) {
        // Every partial sum is a whole number within the double range, so exact: the window
        // sums come out the same in any order, here columns of 7 first, then 7 of those.
        double column_sums[plane_side];
        for (int r = first_centre; r <= last_centre; ++r) {
            for (int j = 0; j < plane_side; ++j) {
                double sum = 0;
                for (int i = r - reach; i <= r + reach; ++i)
                    sum += at(source, i, j);
                column_sums[j] = sum;
            }
            for (int c = first_centre; c <= last_centre; ++c) {
                double sum = 0;
                for (int j = c - reach; j <= c + reach; ++j)
                    sum += column_sums[j];
                at(mean, r, c) = ext::store(ext::div(sum, 49));
            }
        }
        return;
    }
    for (int r = first_centre; r <= last_centre; ++r) {
        for (int c = first_centre; c <= last_centre; c += lanes) {
            const auto sums =
                window_sums(r, c, [&](int i, int j, int) { return static_cast<ext::real>(at(source, i, j)); });
            for (int k = 0; k < lanes; ++k)
                at(mean, r, c + k) = ext::store(ext::div(sums[k], 49));
        }
    }
}

// The planes a pair is measured into, and where its files are read.
struct Pair {
    const std::string& path1;
    const std::string& path2;
    Plane& image1;
    Plane& image2;
    Plane& signal;
    Plane& noise;
    Plane& snr;
    LegendBoxValues& snr_box;
    Plane* display = nullptr;  // takes image 1 as soon as it is read
    std::array<SliceSource, 2>* sources = nullptr;  // how each image was read
};

// Working planes; the state's hold those of the last pair measured.
struct Working {
    Plane& diff_image;
    Plane& diff_mean;
    Samples& samples;
};

SliceSource read_image(const std::string& path, Samples& samples, Plane& image)
{
    SliceSource source = about_file(path, [&] { return read_slice(path, samples); });
    for (int p = 0; p < plane_pixels; ++p)
        image[p] = samples[p];
    return source;
}

// Reads both images of a pair, then its signal, noise and SNR pass by pass, and the legend.
void measure_pair(const SubmapState& state, const Pair& pair, const Working& working)
{
    (*pair.sources)[0] = read_image(pair.path1, working.samples, pair.image1);
    if (pair.display != nullptr)
        *pair.display = pair.image1;
    (*pair.sources)[1] = read_image(pair.path2, working.samples, pair.image2);
    Plane& diff_image = working.diff_image;
    Plane& diff_mean = working.diff_mean;
    for (int p = 0; p < plane_pixels; ++p)
        diff_image[p] = ext::store(static_cast<ext::real>(pair.image1[p]) - pair.image2[p]);
    local_mean(diff_image, diff_mean);
    local_mean(pair.image1, pair.signal);

    // Deviations from the mean of the window's own centre; divisor 49 - 1.
    for (int r = first_centre; r <= last_centre; ++r) {
        for (int c = first_centre; c <= last_centre; c += lanes) {
            std::array<ext::real, lanes> centre_means;
            for (int k = 0; k < lanes; ++k)
                centre_means[k] = at(diff_mean, r, c + k);
            const auto squares = window_sums(r, c, [&](int i, int j, int k) {
                const ext::real deviation = centre_means[k] - at(diff_image, i, j);
                return deviation * deviation;
            });
            for (int k = 0; k < lanes; ++k)
                at(pair.noise, r, c + k) = ext::store(ext::sqrt(ext::div(squares[k], 48)));
        }
    }

    // The noise plane holds the deviation of the difference; one image has 1/sqrt(2) of it.
    // A centre without noise has no SNR and reads 0, whatever an earlier run left there.
    const ext::real root2 = ext::sqrt(2.0L);
    for (int r = first_centre; r <= last_centre; ++r) {
        for (int c = first_centre; c <= last_centre; ++c) {
            const double noise = at(pair.noise, r, c);
            at(pair.snr, r, c) =
                noise != 0 ? ext::store(ext::div(at(pair.signal, r, c), ext::div(noise, root2))) : 0.0;
        }
    }
    pair.snr_box = box_values(pair.snr);
    stamp_legend(pair.snr, state.legend);
}

void gfactor_pass(SubmapState& state, double r)
{
    for (int row = first_centre; row <= last_centre; ++row) {
        for (int c = first_centre; c <= last_centre; ++c) {
            const double snr_pi = at(state.snr_pi, row, c);
            if (snr_pi != 0)
                at(state.gfactor_map, row, c) = gfactor_pixel(at(state.snr_nopi, row, c), snr_pi, r);
        }
    }
    // Centres without a PI SNR read 0 rather than an earlier run's value. Cleared only after
    // the pass, so a refused R (failing at the first centre with a PI SNR) leaves the plane whole.
    for (int row = first_centre; row <= last_centre; ++row) {
        for (int c = first_centre; c <= last_centre; ++c) {
            if (at(state.snr_pi, row, c) == 0)
                at(state.gfactor_map, row, c) = 0.0;
        }
    }
    gfactor_values(state.snr_nopi_box, state.snr_pi_box, r, state.gfactor_box);
}

}  // namespace

bool run_submap(SubmapState& state, const SubmapInputs& inputs, SubmapRunView& view, Halves halves)
{
    const bool chosen = !inputs.caption1.empty() && !inputs.caption2.empty() &&
                        (!inputs.gfactor || (!inputs.caption3.empty() && !inputs.caption4.empty()));
    if (!chosen) {
        view.refuse("SNR測定する画像を選択してください");
        return false;
    }
    const auto captions = list_captions(submap_item_table(), inputs.gfactor);
    const auto r = begin_run(view, captions, inputs.r_text, inputs.gfactor);
    if (!r)
        return false;
    read_legend_settings(inputs.legend, state.legend);

    std::array<SliceSource, 2> nopi_sources, pi_sources;
    const Pair nopi{state.path1_nopi, state.path2_nopi, state.img1_nopi, state.img2_nopi,
                    state.signal_nopi, state.noise_nopi, state.snr_nopi, state.snr_nopi_box, &state.disp_image,
                    &nopi_sources};
    const Pair pi{state.path1_pi, state.path2_pi, state.img1_pi, state.img2_pi,
                  state.signal_pi, state.noise_pi, state.snr_pi, state.snr_pi_box, nullptr, &pi_sources};
    const Working working{state.diff_image, state.diff_mean, state.sample_image};
    if (inputs.gfactor && halves == Halves::Together) {
        // The no-PI pair gets working planes of its own; the state's end with the PI pair's.
        auto own = make_large<std::tuple<Plane, Plane, Samples>>();
        const Working nopi_working{std::get<0>(*own), std::get<1>(*own), std::get<2>(*own)};
        run_together(
            [&] {
                measure_pair(state, nopi, nopi_working);
                return 0;
            },
            [&](const std::atomic<bool>&) {
                measure_pair(state, pi, working);
                return 0;
            });
    } else {
        measure_pair(state, nopi, working);
        if (inputs.gfactor)
            measure_pair(state, pi, working);
    }
    const NoticeGroup nopi_pair{"", {{inputs.caption1, &nopi_sources[0]}, {inputs.caption2, &nopi_sources[1]}}};
    const NoticeGroup pi_pair{"", {{inputs.caption3, &pi_sources[0]}, {inputs.caption4, &pi_sources[1]}}};
    view.notices(input_notices(nopi_pair, inputs.gfactor ? std::optional(pi_pair) : std::nullopt,
                               inputs.gfactor ? r : std::nullopt));
    if (inputs.gfactor)
        gfactor_pass(state, *r);
    finish_run(state, inputs.gfactor ? &state.gfactor_map : nullptr);
    return true;
}

}  // namespace snr
