// SPDX-License-Identifier: BSD-3-Clause
// A module of another snrmap, which snrmap must refuse to use.
#include "tools/snrmap/modules.h"

extern "C" const snr::snrmap::ModuleEntry* snrmap_module()
{
    static const int functions = 0;
    static const snr::snrmap::ModuleEntry entry{"0.0.1", &functions};
    return &entry;
}
