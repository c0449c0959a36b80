// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/display.h"
#include "core/legend.h"
#include "core/plane.h"

namespace snr {

// The window a selection sets in place of the automatic one.
struct WindowPreset {
    enum class Rule { Automatic, Fixed, FromLegend };
    Rule rule = Rule::Automatic;
    std::int16_t wl = 0;
    std::int16_t ww = 0;
};

inline constexpr WindowPreset automatic_window{};
// Level minimum + 5 intervals, width minimum + 20 intervals of the legend settings.
inline constexpr WindowPreset legend_window{WindowPreset::Rule::FromLegend};
constexpr WindowPreset fixed_window(std::int16_t wl, std::int16_t ww) { return {WindowPreset::Rule::Fixed, wl, ww}; }

// One item of a program's result list: all that the programs know of it.
template <class State>
struct ResultItem {
    const char* caption;         // list text with the g-factor
    const char* single_caption;  // list text without it; nullptr where it is not listed then
    const char* file_name;       // snrmap's NAME.npy / NAME.png and the plane's name in its summary
    ItemKind kind;
    Plane State::*plane;
    WindowPreset window;
    LegendBoxValues State::*legend_box = nullptr;  // a map's values under its legend box, unstamped
};

template <class State>
using ItemTable = std::span<const ResultItem<State>>;

// The rows listed without the g-factor come first, so that a list index is a row index in
// both layouts.
template <class State, std::size_t N>
constexpr bool single_layout_leads(const ResultItem<State> (&items)[N])
{
    bool listed = true;
    for (const auto& item : items) {
        if (item.single_caption != nullptr && !listed)
            return false;
        listed = item.single_caption != nullptr;
    }
    return true;
}

// The row of a list index; nothing for no selection (-1) or an index beyond the table.
template <class State>
const ResultItem<State>* item_at(ItemTable<State> table, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        return nullptr;
    return &table[static_cast<std::size_t>(index)];
}

template <class State>
ItemKind kind_at(ItemTable<State> table, int index)
{
    const auto* item = item_at(table, index);
    return item != nullptr ? item->kind : ItemKind::Other;
}

template <class State>
WindowPreset window_at(ItemTable<State> table, int index)
{
    const auto* item = item_at(table, index);
    return item != nullptr ? item->window : automatic_window;
}

template <class State>
Plane* plane_at(ItemTable<State> table, State& state, int index)
{
    const auto* item = item_at(table, index);
    return item != nullptr ? &(state.*item->plane) : nullptr;
}

// The texts of the result list, in list order.
template <class State>
std::vector<std::string> list_captions(ItemTable<State> table, bool gfactor)
{
    std::vector<std::string> captions;
    for (const auto& item : table) {
        if (gfactor)
            captions.emplace_back(item.caption);
        else if (item.single_caption != nullptr)
            captions.emplace_back(item.single_caption);
    }
    return captions;
}

}  // namespace snr
