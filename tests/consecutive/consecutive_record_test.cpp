// SPDX-License-Identifier: BSD-3-Clause
// The record of a run gives each item what a window's view selection of it gives.
#include <gtest/gtest.h>

#include <memory>

#include "consecutive/consecutive_items.h"
#include "consecutive/consecutive_record.h"
#include "consecutive/consecutive_run.h"
#include "tests/support/item_support.h"
#include "tests/support/temp_folder.h"

namespace snr {
namespace {

struct QuietView : RunView {
    void refuse(const std::string&) override {}
    void begin(const std::vector<std::string>&) override {}
};

TEST(ConsecutiveRecord, EachItemHasTheWindowAWindowsSelectionGivesItAndTheRunsLegend)
{
    test::TempFolder tmp;
    ConsecutiveInputs inputs;
    inputs.nopi_folder = tmp.folder("nopi");
    inputs.pi_folder = tmp.folder("pi");
    inputs.legend = {"50", "10"};
    for (int k = 0; k < 4; ++k) {
        StoredPixels nopi = test::ramp(), pi = test::ramp();
        nopi[k * 97] = static_cast<std::int16_t>(300 + 50 * k);
        pi[k * 89] = static_cast<std::int16_t>(900 - 70 * k);
        test::write_slice(inputs.nopi_folder + "/s" + std::to_string(k), nopi);
        test::write_slice(inputs.pi_folder + "/s" + std::to_string(k), pi);
    }
    auto state = std::make_shared<ConsecutiveState>();
    QuietView view;
    ASSERT_TRUE(run_consecutive(*state, inputs, view));
    const auto after_run = std::make_unique<ConsecutiveState>(*state);
    const RunRecord run = consecutive_run_record(state, inputs);
    const auto table = consecutive_item_table();
    ASSERT_EQ(run.planes.size(), table.size());

    test::RecordingSelection selection;
    for (int index = 0; index < static_cast<int>(table.size()); ++index) {
        SCOPED_TRACE(run.planes[static_cast<std::size_t>(index)].name);
        // A window: the selection, the preset typed into the edits, the item shown.
        auto window = std::make_unique<ConsecutiveState>(*after_run);
        if (const auto preset = select_consecutive_item(*window, index, selection))
            apply_legend_edit(*window, kind_at(table, index), plane_at(table, *window, index), *preset);
        show_consecutive_item(*window, index, selection);
        const ResultPlane& recorded = run.planes[static_cast<std::size_t>(index)];
        EXPECT_EQ(std::tie(recorded.window.wl, recorded.window.ww, recorded.window.disp_max),
                  std::tie(window->window.wl, window->window.ww, window->window.disp_max));
        // The plane stays as the run left it.
        EXPECT_EQ(*recorded.plane, (*after_run).*table[static_cast<std::size_t>(index)].plane);
    }
    EXPECT_EQ(run.planes[3].legend, (LegendScale{50, 10}));
    EXPECT_EQ(run.planes[8].legend, (LegendScale{0.5, 0.1}));
    EXPECT_FALSE(run.planes[0].legend);
}

}  // namespace
}  // namespace snr
