// SPDX-License-Identifier: BSD-3-Clause
#include "consecutive/consecutive_run.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <span>

#include "consecutive/consecutive_items.h"
#include "consecutive/slice_sums.h"
#include "core/extended.h"
#include "core/gfactor.h"
#include "core/large_memory.h"
#include "core/legend.h"
#include "core/slice_file.h"
#include "core/together.h"
#include "run/input_notices.h"
#include "run/run_ending.h"

namespace snr {

namespace {

struct Half {
    Plane& rep;
    Plane& signal;
    Plane& noise;
    Plane& snr;
    LegendBoxValues& snr_box;
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

// Lists a folder (or takes its files as given) into `slices`, a slice for each frame of its
// files, and returns the refusal of the first file that the reader would refuse, if any.
std::optional<FileRefusal> list_and_check(const std::string& folder, const std::vector<std::string>& files,
                                          std::vector<ListedSlice>& slices)
{
    slices.clear();
    std::size_t kept = 0;
    for (auto& path : files.empty() ? list_slices(folder) : files) {
        SliceCheck check = about_file(path, [&] { return check_slice(path, FrameRule::Several); });
        if (!check.refusal.empty())
            return FileRefusal{folder + "の" + refusal_text(path, check.refusal), path, check.refusal};
        std::shared_ptr<const DicomLayout> layout;
        kept += check.layout.head.size();
        if (check.layout.size >= 0 && kept <= most_kept_head_bytes)
            layout = std::make_shared<const DicomLayout>(std::move(check.layout));
        if (check.frames.empty()) {
            slices.push_back({path, 0, std::move(check.source), layout});
            continue;
        }
        for (std::size_t k = 0; k < check.frames.size(); ++k)
            slices.push_back({path, static_cast<int>(k), SliceSource{true, std::move(check.frames[k])}, layout});
    }
    return std::nullopt;
}

NoticeGroup notice_group(const std::string& folder, const std::vector<ListedSlice>& slices)
{
    NoticeGroup group{folder, {}};
    for (const ListedSlice& slice : slices)
        group.inputs.push_back({notice_name(slice.path, slice.source), &slice.source});
    return group;
}

// The slices a pass reads before it adds them: their values stay at hand while it adds them
// pixel block by pixel block.
constexpr std::size_t batch_slices = 8;

struct Batch {
    std::array<SliceValues, batch_slices> values;
    LargeObject<Samples> samples;  // for a rescaled slice, made when one comes
};

// One pass over a folder's slices, a batch at a time: each batch is read, then added in slice
// order. While `grouped` holds, whole slices go together (`add_whole`); a rescaled slice ends
// it, and from then on each goes alone as samples (`add_one`). A slice that cannot be read
// fails the pass after those before it are added and counted, as they would be one by one; a
// stop comes between slices and returns false.
template <class AddWhole, class AddOne>
bool pass_over(std::vector<ListedSlice>& slices, Batch& batch, const Half& half, int pass, Progress& progress,
               const std::atomic<bool>* stop, bool& grouped, AddWhole add_whole, AddOne add_one)
{
    half.slice_counter = 0;
    for (std::size_t first = 0; first < slices.size(); first += batch_slices) {
        const std::size_t wanted = std::min(batch_slices, slices.size() - first);
        std::size_t read_count = 0;
        std::exception_ptr failure;
        bool stopped = false;
        // The frames of one file that follow one another are read together.
        while (read_count < wanted) {
            if ((stopped = stop != nullptr && stop->load()))
                break;
            const std::size_t at = first + read_count;
            std::size_t count = 1;
            while (read_count + count < wanted && slices[at + count].path == slices[at].path &&
                   slices[at + count].frame == slices[at].frame + static_cast<int>(count))
                ++count;
            std::array<SliceSource, batch_slices> sources;
            int frames_read = 0;
            try {
                const bool parsed = about_file(slices[at].path, [&] {
                    return read_slice_frames(slices[at].path, slices[at].frame,
                                             std::span(batch.values.data() + read_count, count),
                                             slices[at].layout.get(), std::span(sources.data(), count), frames_read);
                });
                for (std::size_t k = 0; pass == 0 && parsed && k < count; ++k)
                    slices[at + k].source = std::move(sources[k]);
                read_count += count;
            } catch (...) {
                read_count += static_cast<std::size_t>(frames_read);
                failure = std::current_exception();
                break;
            }
        }
        for (std::size_t done = 0; done < read_count;) {
            std::size_t end = done;
            std::array<const StoredPixels*, batch_slices> whole{};
            while (grouped && end < read_count && !batch.values[end].rescaled) {
                whole[end - done] = &batch.values[end].stored;
                ++end;
            }
            if (end > done) {
                add_whole(std::span(whole.data(), end - done));
            } else {
                grouped = false;
                if (!batch.samples)
                    batch.samples = make_large<Samples>();
                about_file(slices[first + done].path, [&] { make_samples(batch.values[done], *batch.samples); });
                add_one(*batch.samples);
                end = done + 1;
            }
            for (; done < end; ++done) {
                ++half.slice_counter;
                progress.report(half, pass);
            }
        }
        if (failure)
            std::rethrow_exception(failure);
        if (stopped)
            return false;
    }
    return true;
}

// Mean, standard deviation (divisor N - 1) and SNR of the slices of one folder.
void measure_folder(ConsecutiveState& state, std::vector<ListedSlice>& slices, const Half& half,
                    bool show_last_slice, Progress& progress, const std::atomic<bool>* stop = nullptr)
{
    const auto batch = make_large<Batch>();
    half.count = static_cast<std::int32_t>(slices.size());

    // Whole slices add up exactly however grouped, while the signal holds whole sums alone.
    bool whole_sums = true;
    if (!pass_over(
            slices, *batch, half, 0, progress, stop, whole_sums,
            [&](std::span<const StoredPixels* const> whole) { add_whole_slices(whole, half.rep, half.signal); },
            [&](const Samples& samples) { add_slice(samples, half.rep, half.signal); }))
        return;

    for (int p = 0; p < plane_pixels; ++p) {
        if (show_last_slice)
            state.disp_image[p] = half.rep[p];
        half.signal[p] = ext::store(ext::div(half.signal[p], half.count));
    }

    // The deviations come from the very slices the mean was formed from. A folder listed
    // afresh could have lost or gained files meanwhile (an export still being copied, a share
    // going away) and would give a noise that belongs to no series; a slice gone now fails
    // as a file that cannot be opened. Whole slices go together against the mean of whole sums.
    bool whole_mean = whole_sums;
    if (!pass_over(
            slices, *batch, half, 1, progress, stop, whole_mean,
            [&](std::span<const StoredPixels* const> whole) {
                add_whole_squared_deviations(whole, half.signal, half.noise);
            },
            [&](const Samples& samples) { add_squared_deviations(samples, half.signal, half.noise); }))
        return;
    const ext::real divisor = static_cast<ext::real>(half.slice_counter) - 1;
    for (int p = 0; p < plane_pixels; ++p)
        half.noise[p] = ext::store(ext::sqrt(ext::div(half.noise[p], divisor)));

    for (int p = 0; p < plane_pixels; ++p) {
        if (half.noise[p] != 0)
            half.snr[p] = ext::store(ext::div(half.signal[p], half.noise[p]));
    }
    half.snr_box = box_values(half.snr);
    stamp_legend(half.snr, state.legend);
}

}  // namespace

bool run_consecutive(ConsecutiveState& state, const ConsecutiveInputs& inputs, ConsecutiveRunView& view,
                     Halves halves)
{
    read_legend_settings(inputs.legend, state.legend);
    const auto captions = list_captions(consecutive_item_table(), inputs.gfactor);
    const bool together_now = halves == Halves::Together && inputs.gfactor;
    // Every slice is checked before anything changes: a scanner export holds DICOMDIR files,
    // reports and images of other kinds beside the slices.
    const auto check_slices = [&]() -> std::optional<FileRefusal> {
        if (together_now) {
            auto [nopi, pi] = run_together([&] { return list_and_check(inputs.nopi_folder, inputs.nopi_files, state.slices_nopi); },
                                       [&](const std::atomic<bool>&) {
                                           return list_and_check(inputs.pi_folder, inputs.pi_files, state.slices_pi);
                                       });
            return nopi ? nopi : pi;
        }
        auto refusal = list_and_check(inputs.nopi_folder, inputs.nopi_files, state.slices_nopi);
        if (!refusal && inputs.gfactor)
            refusal = list_and_check(inputs.pi_folder, inputs.pi_files, state.slices_pi);
        return refusal;
    };
    const auto r = begin_run(view, captions, inputs.r_text, inputs.gfactor, check_slices);
    if (!r)
        return false;
    view.notices(input_notices(notice_group(inputs.nopi_folder, state.slices_nopi),
                               inputs.gfactor ? std::optional(notice_group(inputs.pi_folder, state.slices_pi))
                                              : std::nullopt,
                               inputs.gfactor ? r : std::nullopt));

    for (const auto& item : consecutive_item_table())
        (state.*item.plane).fill(0.0);

    const int span = inputs.gfactor ? 25 : 50;
    Progress progress(view, together_now);
    const Half nopi{state.rep_nopi, state.signal_nopi, state.noise_nopi, state.snr_nopi, state.snr_nopi_box,
                    state.count_nopi, state.slice_counter, 0, span};
    std::int32_t pi_counter = 0;
    const Half pi{state.rep_pi, state.signal_pi, state.noise_pi, state.snr_pi, state.snr_pi_box,
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
        gfactor_values(state.snr_nopi, state.snr_pi, *r, state.gfactor_map);
        gfactor_values(state.snr_nopi_box, state.snr_pi_box, *r, state.gfactor_box);
    }
    finish_run(state, inputs.gfactor ? &state.gfactor_map : nullptr);
    return true;
}

}  // namespace snr
