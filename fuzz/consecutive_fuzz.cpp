// SPDX-License-Identifier: BSD-3-Clause
// The consecutive method on slices of any samples, any legend settings and any reduction
// rate: no plane ever holds a NaN or an infinity, and a run that does not complete ends in
// one of the system's messages (the refusal of R "0", a conversion error naming one of the
// texts, a floating-point error, the I/O error of a short slice or a FIFO among the slices).
//
// Input: a flags byte (bit 0 g-factor; bits 1-2 and 3-4 the number of no-PI and PI slices;
// bit 5 a short file among the no-PI slices; bit 6 a FIFO among the PI slices), the minimum,
// interval and R texts on lines of their own, then 16-bit samples that fill the slices over
// and over, each slice shifted against the one before.

#include <memory>
#include <sys/stat.h>

#include "consecutive/consecutive_items.h"
#include "core/display.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

namespace {

struct View : ConsecutiveRunView {
    std::vector<std::string> refusals;
    int last_position = -1;
    void refuse(const std::string& message) override { refusals.push_back(message); }
    void begin(const std::vector<std::string>&) override {}
    void progress(int position) override
    {
        fuzz::check(position > last_position && position <= 100, "progress " + std::to_string(position));
        last_position = position;
    }
};

void write_folder(const std::string& folder, int slices, int shift, const std::vector<std::uint8_t>& pattern)
{
    for (int k = 0; k < slices; ++k)
        fuzz::write_slice(folder + "/s" + std::to_string(k), fuzz::pattern_samples(pattern, shift + 977 * k));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    ConsecutiveInputs inputs;
    inputs.gfactor = flags & 1;
    inputs.legend.minimum = input.line();
    inputs.legend.step = input.line();
    inputs.r_text = input.line();
    const auto pattern = input.rest();

    inputs.nopi_folder = fuzz::scratch().fresh_folder("nopi");
    inputs.pi_folder = fuzz::scratch().fresh_folder("pi");
    write_folder(inputs.nopi_folder, (flags >> 1) & 3, 0, pattern);
    write_folder(inputs.pi_folder, (flags >> 3) & 3, 31, pattern);
    if (flags & 32)
        fuzz::write_file(inputs.nopi_folder + "/short", std::vector<std::uint8_t>(1000, 7));
    if (flags & 64)
        ::mkfifo((inputs.pi_folder + "/fifo").c_str(), 0600);

    auto state = std::make_unique<ConsecutiveState>();
    View view;
    std::string failure;
    bool completed = false;
    try {
        completed = run_consecutive(*state, inputs, view);
    } catch (const Error& error) {
        failure = error.what();
    }

    fuzz::check_finite(state->disp_image, "disp_image");
    for (const auto& item : consecutive_item_table())
        fuzz::check_finite((*state).*item.plane, item.file_name);
    fuzz::check(std::isfinite(state->legend.scale_min) && std::isfinite(state->legend.scale_step), "legend settings");

    if (!failure.empty()) {
        const bool short_slice = (flags & 32) || (flags & 64);
        fuzz::check(fuzz::is_conversion_message(failure, {inputs.legend.minimum, inputs.legend.step, inputs.r_text}) ||
                        fuzz::is_float_message(failure) || (short_slice && failure == IoError(131).what()),
                    "unexpected failure: " + failure);
        return 0;
    }
    fuzz::check(completed == (inputs.r_text != "0"), "refusal of R");
    fuzz::check(view.refusals.size() == (completed ? 0u : 1u), "refusals");
    if (!completed) {
        fuzz::check(view.refusals[0] == "reduction factorが不正です", "refusal message");
        return 0;
    }
    fuzz::check(state->disp_image == state->rep_nopi, "the last no-PI slice is not on display");
    fuzz::check(view.last_position == 100, "progress did not end at 100");

    // The display of the result: a zero width is the integer division error, nothing else fails.
    static std::vector<std::uint8_t> pixels(plane_pixels * 3);
    try {
        render_display(state->disp_image, state->window.wl, state->window.ww, pixels.data(), plane_side * 3);
        fuzz::check(state->window.ww > 0, "rendered a zero width");
    } catch (const IntDivideByZero&) {
        fuzz::check(state->window.ww == 0, "division error with a width");
    }
    return 0;
}
