#include "consecutive/consecutive_run.h"

#include <atomic>
#include <mutex>
#include <optional>

#include "consecutive/consecutive_items.h"
#include "consecutive/slice_sums.h"
#include "core/extended.h"
#include "core/gfactor.h"
#include "core/large_memory.h"
#include "core/legend.h"
#include "core/slice_file.h"
#include "core/text_number.h"
#include "core/together.h"

namespace snr {

namespace {

struct Half {
    Plane& rep;
    Plane& signal;
    Plane& noise;
    Plane& snr;
    std::int32_t& count;
    std::int32_t& slice_counter;
    int progress_base;  // position where this half starts
    int progress_span;  // positions per pass
};

// Progress of one half, or of both halves at once. Then the view still hears the positions of
// the halves in turn: the PI half's wait until the no-PI half has reported its last, and are
// passed on in their order from then on (never, when the no-PI half fails).
class Progress {
public:
    Progress(ConsecutiveRunView& view, bool shared) : view_(view), shared_(shared) {}

    void report(const Half& half, int pass)
    {
        const long long step = ext::int_div(static_cast<long long>(half.slice_counter) * half.progress_span, half.count);
        const int position = static_cast<int>(half.progress_base + pass * half.progress_span + step);
        if (!shared_) {
            view_.progress(position);
            return;
        }
        const std::lock_guard lock(mutex_);
        if (half.progress_base != 0 && !first_half_done_) {
            waiting_.push_back(position);
            return;
        }
        view_.progress(position);
        if (half.progress_base == 0 && pass == 1 && half.slice_counter == half.count) {
            first_half_done_ = true;
            for (const int waiting : waiting_)
                view_.progress(waiting);
            waiting_.clear();
        }
    }

private:
    ConsecutiveRunView& view_;
    bool shared_;
    std::mutex mutex_;
    bool first_half_done_ = false;
    std::vector<int> waiting_;
};

// The heads of a folder's images kept between the check and the passes, at most; images beyond
// are parsed again in each pass. A few kilobytes each, so thousands of slices stay within it.
constexpr std::size_t most_kept_head_bytes = std::size_t{16} << 20;

// Lists a folder into `slices` and returns the message for the first slice that the reader
// would refuse, if any.
std::optional<std::string> list_and_check(const std::string& folder, std::vector<ListedSlice>& slices)
{
    slices.clear();
    for (auto& path : list_slices(folder))
        slices.push_back({std::move(path), {}, {}});
    std::size_t kept = 0;
    for (auto& slice : slices) {
        SliceCheck check = check_slice(slice.path);
        slice.source = std::move(check.source);
        kept += check.layout.head.size();
        if (kept <= most_kept_head_bytes)
            slice.layout = std::move(check.layout);
        if (!check.refusal.empty())
            return folder + "の" + refusal_text(slice.path, check.refusal);
    }
    return std::nullopt;
}

// Mean, standard deviation (divisor N - 1) and SNR of the slices of one folder.
void measure_folder(ConsecutiveState& state, std::vector<ListedSlice>& slices, const Half& half,
                    bool show_last_slice, Progress& progress, const std::atomic<bool>* stop = nullptr)
{
    const auto buffer = make_large<Samples>();
    Samples& samples = *buffer;
    half.count = static_cast<std::int32_t>(slices.size());
    const auto stopped = [&] { return stop != nullptr && stop->load(); };

    half.slice_counter = 0;
    for (auto& slice : slices) {
        if (stopped())
            return;
        slice.source = read_slice(slice.path, samples, &slice.layout);
        add_slice(samples, half.rep, half.signal);
        ++half.slice_counter;
        progress.report(half, 0);
    }

    for (int p = 0; p < plane_pixels; ++p) {
        if (show_last_slice)
            state.disp_image[p] = half.rep[p];
        half.signal[p] = ext::store(ext::div(half.signal[p], half.count));
    }

    // The deviations come from the very slices the mean was formed from. A folder listed
    // afresh could have lost or gained files meanwhile (an export still being copied, a share
    // going away) and would give a noise that belongs to no series; a slice gone now fails
    // as a file that cannot be opened.
    half.slice_counter = 0;
    for (const auto& slice : slices) {
        if (stopped())
            return;
        read_slice(slice.path, samples, &slice.layout);
        add_squared_deviations(samples, half.signal, half.noise);
        ++half.slice_counter;
        progress.report(half, 1);
    }

    const ext::real divisor = static_cast<ext::real>(half.slice_counter) - 1;
    for (int p = 0; p < plane_pixels; ++p)
        half.noise[p] = ext::store(ext::sqrt(ext::div(half.noise[p], divisor)));

    for (int p = 0; p < plane_pixels; ++p) {
        if (half.noise[p] != 0)
            half.snr[p] = ext::store(ext::div(half.signal[p], half.noise[p]));
    }
    stamp_legend(half.snr, state.scale_min, state.scale_step);
}

}  // namespace

bool run_consecutive(ConsecutiveState& state, const ConsecutiveInputs& inputs, ConsecutiveRunView& view,
                     Halves halves)
{
    state.scale_min = ext::store(text_to_float(inputs.min_text));
    state.scale_step = ext::store(text_to_float(inputs.step_text));
    const auto captions = list_captions(consecutive_item_table(), inputs.gfactor);
    const bool together_now = halves == Halves::Together && inputs.gfactor;
    // Every slice is checked before anything changes: a scanner export holds DICOMDIR files,
    // reports and images of other kinds beside the slices.
    const auto check_slices = [&]() -> std::optional<std::string> {
        if (together_now) {
            auto [nopi, pi] = run_together([&] { return list_and_check(inputs.nopi_folder, state.slices_nopi); },
                                       [&](const std::atomic<bool>&) {
                                           return list_and_check(inputs.pi_folder, state.slices_pi);
                                       });
            return nopi ? nopi : pi;
        }
        auto refusal = list_and_check(inputs.nopi_folder, state.slices_nopi);
        if (!refusal && inputs.gfactor)
            refusal = list_and_check(inputs.pi_folder, state.slices_pi);
        return refusal;
    };
    const auto r = begin_run(view, captions, inputs.r_text, inputs.gfactor, check_slices);
    if (!r)
        return false;

    for (const auto& item : consecutive_item_table())
        (state.*item.plane).fill(0.0);

    const int span = inputs.gfactor ? 25 : 50;
    Progress progress(view, together_now);
    const Half nopi{state.rep_nopi, state.signal_nopi, state.noise_nopi, state.snr_nopi,
                    state.count_nopi, state.slice_counter, 0, span};
    std::int32_t pi_counter = 0;
    const Half pi{state.rep_pi, state.signal_pi, state.noise_pi, state.snr_pi,
                  state.count_pi, together_now ? pi_counter : state.slice_counter, 50, 25};
    if (together_now) {
        run_together(
            [&] {
                measure_folder(state, state.slices_nopi, nopi, true, progress);
                return 0;
            },
            [&](const std::atomic<bool>& stop) {
                measure_folder(state, state.slices_pi, pi, false, progress, &stop);
                return 0;
            });
        state.slice_counter = pi_counter;
    } else {
        measure_folder(state, state.slices_nopi, nopi, true, progress);
        if (inputs.gfactor)
            measure_folder(state, state.slices_pi, pi, false, progress);
    }
    if (inputs.gfactor) {
        for (int p = 0; p < plane_pixels; ++p) {
            if (state.snr_pi[p] != 0)
                state.gfactor_map[p] = gfactor_pixel(state.snr_nopi[p], state.snr_pi[p], *r);
        }
        stamp_legend(state.gfactor_map, state.scale_min, state.scale_step);
    }

    auto_window(state.disp_image, state.window);
    return true;
}

}  // namespace snr
