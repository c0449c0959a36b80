#include "consecutive/consecutive_items.h"

#include <iterator>

namespace snr {

ItemKind consecutive_item_kind(int index)
{
    if (index == nopi_snr_item || index == pi_snr_item)
        return ItemKind::SnrMap;
    if (index == gfactor_item)
        return ItemKind::GFactor;
    return ItemKind::Other;
}

Plane* consecutive_item_plane(ConsecutiveState& state, int index)
{
    Plane* planes[] = {&state.rep_nopi, &state.signal_nopi, &state.noise_nopi, &state.snr_nopi, &state.rep_pi,
                       &state.signal_pi, &state.noise_pi, &state.snr_pi, &state.gfactor_map};
    if (index < 0 || index >= static_cast<int>(std::size(planes)))
        return nullptr;
    return planes[index];
}

void apply_consecutive_window_preset(ConsecutiveState& state, int index)
{
    if (index == gfactor_item) {
        state.window.wl = 200;
        state.window.ww = 400;
    } else if (consecutive_item_kind(index) == ItemKind::SnrMap) {
        const long double minimum = state.scale_min;
        state.window.wl = window_value(5 * static_cast<long double>(state.scale_step) + minimum);
        state.window.ww = window_value(20 * static_cast<long double>(state.scale_step) + minimum);
    }
}

}  // namespace snr
