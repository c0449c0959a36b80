// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/extras.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <vector>

#include "core/errors.h"
#include "core/path.h"

namespace snr::snrmap {

namespace {

constexpr char module_name[] = "snrmap_extras.so";

std::string& chosen_module()
{
    static std::string path;
    return path;
}

// Beside snrmap in the build tree, in its library folder once installed.
std::vector<std::string> module_candidates()
{
    if (!chosen_module().empty())
        return {chosen_module()};
    std::error_code error;
    const std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
    const std::string folder = folder_part(program);
    return {join_path(folder, module_name), join_path(join_path(folder, SNRMAP_EXTRAS_FOLDER), module_name)};
}

const Extras* load()
{
    std::string failure;
    for (const std::string& path : module_candidates()) {
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            failure = std::string("snrmap: the report module cannot be loaded: ") + ::dlerror();
            continue;
        }
        const auto entry = reinterpret_cast<const Extras* (*)()>(::dlsym(module, "snrmap_extras"));
        const Extras* loaded = entry != nullptr ? entry() : nullptr;
        if (loaded == nullptr || std::strcmp(loaded->version, SNRMAP_VERSION) != 0)
            throw Error("snrmap: " + path + ": not the report module of snrmap " SNRMAP_VERSION);
        return loaded;  // never unloaded: Qt keeps state of its own for the process
    }
    throw Error(failure);
}

}  // namespace

const Extras& extras()
{
    static std::mutex mutex;
    static const Extras* loaded = nullptr;
    const std::lock_guard lock(mutex);
    if (loaded == nullptr)
        loaded = load();
    return *loaded;
}

void use_extras_module(const std::string& path) { chosen_module() = path; }

}  // namespace snr::snrmap
