#include "submap/submap_run.h"

#include <array>

#include "core/display.h"
#include "core/extended.h"
#include "core/legend.h"
#include "core/slice_file.h"
#include "core/text_number.h"
#include "submap/submap_items.h"

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

void local_mean(const Plane& source, Plane& mean)
{
    for (int r = first_centre; r <= last_centre; ++r) {
        for (int c = first_centre; c <= last_centre; c += lanes) {
            const auto sums =
                window_sums(r, c, [&](int i, int j, int) { return static_cast<ext::real>(at(source, i, j)); });
            for (int k = 0; k < lanes; ++k)
                at(mean, r, c + k) = ext::store(ext::div(sums[k], 49));
        }
    }
}

struct Pair {
    const Plane& image1;
    const Plane& image2;
    Plane& signal;
    Plane& noise;
    Plane& snr;
};

// Signal, noise and SNR of one image pair, pass by pass.
void measure_pair(SubmapState& state, const Pair& pair)
{
    for (int p = 0; p < plane_pixels; ++p)
        state.diff_image[p] = ext::store(static_cast<ext::real>(pair.image1[p]) - pair.image2[p]);
    local_mean(state.diff_image, state.diff_mean);
    local_mean(pair.image1, pair.signal);

    // Deviations from the mean of the window's own centre; divisor 49 - 1.
    for (int r = first_centre; r <= last_centre; ++r) {
        for (int c = first_centre; c <= last_centre; c += lanes) {
            std::array<ext::real, lanes> centre_means;
            for (int k = 0; k < lanes; ++k)
                centre_means[k] = at(state.diff_mean, r, c + k);
            const auto squares = window_sums(r, c, [&](int i, int j, int k) {
                const ext::real deviation = centre_means[k] - at(state.diff_image, i, j);
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
}

void gfactor_pass(SubmapState& state, double r)
{
    for (int row = first_centre; row <= last_centre; ++row) {
        for (int c = first_centre; c <= last_centre; ++c) {
            const double snr_pi = at(state.snr_pi, row, c);
            if (snr_pi != 0) {
                at(state.gfactor_map, row, c) = ext::store(
                    ext::div(100 * static_cast<ext::real>(at(state.snr_nopi, row, c)), ext::sqrt(r) * snr_pi));
            }
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
}

void read_image(SubmapState& state, const std::string& path, Plane& image)
{
    read_slice(path, state.sample_image);
    for (int p = 0; p < plane_pixels; ++p)
        image[p] = state.sample_image[p];
}

void stamp_legend(const SubmapState& state, Plane& map)
{
    stamp_legend_wedge(map, state.scale_min, state.scale_step);
    stamp_legend_frame(map);
}

}  // namespace

bool run_submap(SubmapState& state, const SubmapInputs& inputs, SubmapRunView& view)
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
    state.scale_min = ext::store(text_to_float(inputs.min_text));
    state.scale_step = ext::store(text_to_float(inputs.step_text));

    read_image(state, state.path1_nopi, state.img1_nopi);
    state.disp_image = state.img1_nopi;
    read_image(state, state.path2_nopi, state.img2_nopi);
    measure_pair(state, Pair{state.img1_nopi, state.img2_nopi, state.signal_nopi, state.noise_nopi, state.snr_nopi});
    stamp_legend(state, state.snr_nopi);

    if (inputs.gfactor) {
        read_image(state, state.path1_pi, state.img1_pi);
        read_image(state, state.path2_pi, state.img2_pi);
        measure_pair(state, Pair{state.img1_pi, state.img2_pi, state.signal_pi, state.noise_pi, state.snr_pi});
        stamp_legend(state, state.snr_pi);
        gfactor_pass(state, *r);
        stamp_legend(state, state.gfactor_map);
    }

    auto_window(state.disp_image, state.window);
    return true;
}

}  // namespace snr
