// SPDX-License-Identifier: BSD-3-Clause
// A module of another snrmap, which snrmap must refuse to use.
#include "core/modules.h"

extern "C" const snr::ModuleEntry* snr_maps_module()
{
    static const int functions = 0;
    static const snr::ModuleEntry entry{"0.0.1", &functions};
    return &entry;
}
