// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "window_model/result_items.h"
#include "window_model/view_selection.h"

namespace snr::test {

// Writes down each step a view selection shows, in order.
struct RecordingSelection : SelectionView {
    std::vector<std::string> steps;

    void show_legend_controls(bool shown) override { steps.push_back(shown ? "legend shown" : "legend hidden"); }
    void set_readout_title(const std::string& title) override { steps.push_back("title " + title); }
    void show_scale_labels(const LegendLabelTexts&) override { steps.push_back("labels"); }
    void clear_readout() override { steps.push_back("readout cleared"); }
    void set_window_caption(const std::string& caption) override { steps.push_back("caption " + caption); }
    void render_display() override { steps.push_back("render"); }
};

// A program's view selection on a state of its own, step by step. Between its two steps the
// texts it wants go into the legend edits ("edits MIN STEP"), where `nested_handler` runs as
// the edits' change handlers do in a window.
template <class State, std::optional<LegendTexts> (*Select)(State&, int, SelectionView&),
          void (*Show)(State&, int, SelectionView&)>
class SelectionTest : public ::testing::Test {
protected:
    std::unique_ptr<State> state = std::make_unique<State>();
    RecordingSelection view;
    std::function<void()> nested_handler;

    // The edits' change handlers fail halfway, as at rendering: another plane shown, no width.
    void fail_nested_handlers()
    {
        nested_handler = [this] {
            state->disp_image.fill(7);
            state->window = {};
        };
    }

    std::vector<std::string> select(int index)
    {
        view.steps.clear();
        if (const auto texts = Select(*state, index, view)) {
            view.steps.push_back("edits " + texts->minimum + " " + texts->step);
            if (nested_handler)
                nested_handler();
        }
        Show(*state, index, view);
        return view.steps;
    }
};

// Whether every row of a table names a plane and a file name of its own.
template <class State>
bool rows_distinct(ItemTable<State> table)
{
    const auto state = std::make_unique<State>();
    std::set<const Plane*> planes;
    std::set<std::string> names;
    for (const auto& item : table) {
        planes.insert(&((*state).*item.plane));
        names.insert(item.file_name);
    }
    return planes.size() == table.size() && names.size() == table.size();
}

// Whether the planes of every row, and the others given, hold only finite values.
template <class State>
bool planes_finite(ItemTable<State> table, const State& state, std::initializer_list<const Plane*> others)
{
    std::vector<const Plane*> planes(others);
    for (const auto& item : table)
        planes.push_back(&(state.*item.plane));
    return std::all_of(planes.begin(), planes.end(), [](const Plane* plane) {
        return std::all_of(plane->begin(), plane->end(), [](double value) { return std::isfinite(value); });
    });
}

}  // namespace snr::test
