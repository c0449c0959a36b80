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

std::string module_path(const std::string& file)
{
    if (const char* chosen = std::getenv("SNRMAP_MODULES"); chosen != nullptr && *chosen != '\0')
        return join_path(chosen, file);
    const std::string folder = own_folder();
    const std::string beside = join_path(folder, file);
    if (::access(beside.c_str(), F_OK) == 0)
        return beside;
    return join_path(folder, SNRMAP_MODULE_FROM_PROGRAM "/" + file);
}

// The structure the module's `entry` function gives.
template <class Module>
const Module& load(const std::string& file, const char* entry)
{
    const std::string path = module_path(file);
    // Its symbols stay its own: it carries copies of parts of this program.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        throw Error("snrmap: cannot load a module: " + std::string(::dlerror()));
    using Entry = const Module* (*)();
    const auto function = reinterpret_cast<Entry>(::dlsym(handle, entry));
    const Module* module = function != nullptr ? function() : nullptr;
    if (module == nullptr || module->interface != history_interface)
        throw Error("snrmap: " + path + ": a module of another snrmap");
    return *module;
}

}  // namespace

const HistoryModule& history_module()
{
    static const HistoryModule& module = load<HistoryModule>("snrmap-history.so", "snrmap_history_module");
    return module;
}

const ChartModule& chart_module()
{
    static const ChartModule& module = load<ChartModule>("snrmap-chart.so", "snrmap_chart_module");
    return module;
}

}  // namespace snr::snrmap
