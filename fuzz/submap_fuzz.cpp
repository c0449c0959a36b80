// SPDX-License-Identifier: BSD-3-Clause
// The difference method on image pairs of any samples, any legend settings and any
// reduction rate: no plane ever holds a NaN or an infinity, and a run that does not complete
// ends in one of the system's messages (the two refusals, a conversion error naming one of
// the texts, a floating-point error, the I/O error of a short file).
//
// Input: a flags byte (bit 0 g-factor; bit 1 leaves the file of selector (bits 2-3) unchosen;
// bit 4 makes that file too short), the minimum, interval and R texts on lines of their own,
// then 16-bit samples that fill the four images over and over, each shifted.

#include <memory>

#include "core/display.h"
#include "fuzz/fuzz_support.h"
#include "submap/submap_items.h"

using namespace snr;

namespace {

struct View : SubmapRunView {
    std::vector<std::string> refusals;
    void refuse(const std::string& message) override { refusals.push_back(message); }
    void begin(const std::vector<std::string>&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    SubmapInputs inputs;
    inputs.gfactor = flags & 1;
    inputs.legend.minimum = input.line();
    inputs.legend.step = input.line();
    inputs.r_text = input.line();
    const auto pattern = input.rest();
    const int odd_one = (flags >> 2) & 3;

    auto state = std::make_unique<SubmapState>();
    std::string* paths[] = {&state->path1_nopi, &state->path2_nopi, &state->path1_pi, &state->path2_pi};
    std::string* captions[] = {&inputs.caption1, &inputs.caption2, &inputs.caption3, &inputs.caption4};
    const std::string folder = fuzz::scratch().fresh_folder("images");
    for (int k = 0; k < 4; ++k) {
        *paths[k] = folder + "/image" + std::to_string(k);
        *captions[k] = "image" + std::to_string(k);
        fuzz::write_slice(*paths[k], fuzz::pattern_samples(pattern, 613 * k));
    }
    if (flags & 2) {
        paths[odd_one]->clear();
        captions[odd_one]->clear();
    }
    if (flags & 16)
        fuzz::write_file(folder + "/image" + std::to_string(odd_one), std::vector<std::uint8_t>(131071, 1));

    View view;
    std::string failure;
    bool completed = false;
    try {
        completed = run_submap(*state, inputs, view);
    } catch (const Error& error) {
        failure = error.what();
    }

    for (const Plane* plane : {&state->disp_image, &state->diff_image, &state->diff_mean})
        fuzz::check_finite(*plane, "a working plane");
    for (const auto& item : submap_item_table())
        fuzz::check_finite((*state).*item.plane, item.file_name);

    const bool chosen = !(flags & 2) || (!inputs.gfactor && odd_one >= 2);
    if (!failure.empty()) {
        const bool short_file = (flags & 16) && !(flags & 2) && (inputs.gfactor || odd_one < 2);
        const bool r_read = inputs.gfactor;
        fuzz::check(fuzz::is_conversion_message(failure, {inputs.legend.minimum, inputs.legend.step}) ||
                        (r_read && fuzz::is_conversion_message(failure, {inputs.r_text})) ||
                        fuzz::is_float_message(failure) || (short_file && failure == IoError(131).what()),
                    "unexpected failure: " + failure);
        return 0;
    }
    if (!completed) {
        fuzz::check(view.refusals.size() == 1, "refused without a message");
        fuzz::check(chosen ? (inputs.r_text == "0" && view.refusals[0] == "reduction factorが不正です")
                           : view.refusals[0] == "SNR測定する画像を選択してください",
                    "refusal: " + view.refusals[0]);
        return 0;
    }
    fuzz::check(chosen && inputs.r_text != "0" && view.refusals.empty(), "completed what should be refused");
    fuzz::check(state->disp_image == state->img1_nopi, "no-PI image 1 is not on display");
    static std::vector<std::uint8_t> pixels(plane_pixels * 3);
    try {
        render_display(state->disp_image, state->window.wl, state->window.ww, pixels.data(), plane_side * 3);
        fuzz::check(state->window.ww > 0, "rendered a zero width");
    } catch (const IntDivideByZero&) {
        fuzz::check(state->window.ww == 0, "division error with a width");
    }
    return 0;
}
