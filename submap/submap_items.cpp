#include "submap/submap_items.h"

#include <iterator>

namespace snr {

ItemKind submap_item_kind(int index)
{
    if (index == submap_nopi_snr_item || index == submap_pi_snr_item)
        return ItemKind::SnrMap;
    if (index == submap_gfactor_item)
        return ItemKind::GFactor;
    return ItemKind::Other;
}

Plane* submap_item_plane(SubmapState& state, int index)
{
    Plane* planes[] = {&state.img1_nopi, &state.img2_nopi, &state.signal_nopi, &state.noise_nopi,
                       &state.snr_nopi,  &state.img1_pi,   &state.img2_pi,     &state.signal_pi,
                       &state.noise_pi,  &state.snr_pi,    &state.gfactor_map};
    if (index < 0 || index >= static_cast<int>(std::size(planes)))
        return nullptr;
    return planes[index];
}

void apply_submap_window_preset(SubmapState& state, int index)
{
    if (index == submap_gfactor_item) {
        state.window.ww = 200;
        state.window.wl = 100;
    }
}

}  // namespace snr
