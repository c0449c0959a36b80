// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/history_module.h"

#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/path.h"

namespace snr::snrmap {

namespace {

std::string own_folder()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? folder_part(std::string(path, static_cast<std::size_t>(length))) : ".";
}

std::string module_path()
{
    if (const char* chosen = std::getenv("SNRMAP_HISTORY_MODULE"); chosen != nullptr && *chosen != '\0')
        return chosen;
    const std::string folder = own_folder();
    const std::string beside = join_path(folder, "snrmap-history.so");
    if (::access(beside.c_str(), F_OK) == 0)
        return beside;
    return join_path(folder, SNRMAP_MODULE_FROM_PROGRAM "/snrmap-history.so");
}

const HistoryModule& load()
{
    const std::string path = module_path();
    // Its symbols stay its own: it carries copies of parts of this program.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        throw Error(std::string("snrmap: cannot load the history module: ") + ::dlerror());
    using Entry = const HistoryModule* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "snrmap_history_module"));
    const HistoryModule* module = entry != nullptr ? entry() : nullptr;
    if (module == nullptr || module->interface != history_interface)
        throw Error("snrmap: " + path + ": a history module of another snrmap");
    return *module;
}

}  // namespace

const HistoryModule& history_module()
{
    static const HistoryModule& module = load();
    return module;
}

}  // namespace snr::snrmap
