// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

namespace snr {

// The programs' modules: what needs Qt or a large library lives in a shared object that a
// program loads only when it is used (linked, its start-up would be paid by every start).
// Each module exports one function, `snr_maps_module`, that gives this; its functions return a
// failure's text rather than let an exception cross the module's edge.
struct ModuleEntry {
    const char* version;    // of the snr-maps the module was built with
    const void* functions;  // the module's table (CodecModule, ReportModule, HistoryModule)
};

// The table of the module NAME (the file NAME.so) from the folder $SNR_MAPS_MODULES (tests),
// else from the modules' folder relative to the program's own, else from the build tree's. A
// module stays loaded to the end of the process. Raises Error, about the module's file, when it
// cannot be loaded or belongs to another version of snr-maps.
const void* load_module(const std::string& name);

// The same, nothing where the module cannot be loaded.
const void* find_module(const std::string& name);

// The table of type Functions of the module NAME, loaded at the first call.
template <class Functions>
const Functions& module_functions(const char* name)
{
    static const Functions& functions = *static_cast<const Functions*>(load_module(name));
    return functions;
}

}  // namespace snr

extern "C" __attribute__((visibility("default"))) const snr::ModuleEntry* snr_maps_module();
