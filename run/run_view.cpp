// SPDX-License-Identifier: BSD-3-Clause
#include "run/run_view.h"

#include "core/extended.h"
#include "core/text_number.h"

namespace snr {

double reduction_rate(const std::string& r_text) { return ext::store(text_to_float(r_text)); }

std::optional<double> begin_run(RunView& view, const std::vector<std::string>& items, const std::string& r_text,
                                bool gfactor, const RunCheck& check)
{
    if (r_text == "0") {
        view.refuse("reduction factorが不正です");
        return std::nullopt;
    }
    if (check) {
        if (const auto refusal = check()) {
            view.refuse_file(*refusal);
            return std::nullopt;
        }
    }
    view.begin(items);
    return gfactor ? reduction_rate(r_text) : 0.0;
}

}  // namespace snr
