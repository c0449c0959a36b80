// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

namespace snr::snrmap {

// snrmap's modules: what needs Qt or a large library lives in a shared object that snrmap
// loads only for the runs that use it (linked, their start-up would be paid by every run).
// Each module exports one function, `snrmap_module`, that gives this; its functions return a
// failure's text rather than let an exception cross the module's edge.
struct ModuleEntry {
    const char* version;    // of the snrmap the module was built with
    const void* functions;  // the module's table (ReportModule, HistoryModule)
};

// The table of the module NAME (the file NAME.so), loaded from the folder $SNRMAP_MODULES
// (tests), else from the modules' folder relative to the program's own. A module stays loaded
// to the end of the process. Raises Error naming the module when it cannot be loaded or
// belongs to another version of snrmap.
const void* load_module(const std::string& name);

// The table of type Functions of the module NAME, loaded at the first call.
template <class Functions>
const Functions& module_functions(const char* name)
{
    static const Functions& functions = *static_cast<const Functions*>(load_module(name));
    return functions;
}

}  // namespace snr::snrmap

extern "C" __attribute__((visibility("default"))) const snr::snrmap::ModuleEntry* snrmap_module();
