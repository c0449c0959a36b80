// SPDX-License-Identifier: BSD-3-Clause
#include "core/modules.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "core/errors.h"
#include "core/path.h"

namespace snr {

namespace {

// Where a module may lie, in the order they are tried.
std::vector<std::string> module_folders()
{
    if (const char* chosen = ::secure_getenv("SNR_MAPS_MODULES"); chosen != nullptr && *chosen != '\0')
        return {chosen};
    std::vector<std::string> folders;
    char program[4096];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    if (length > 0) {
        // The program's folder is a real one (the kernel resolved it): its ".." is its parent.
        const std::string folder = folder_part(std::string(program, static_cast<std::size_t>(length)));
        folders.push_back(std::filesystem::path(join_path(folder, SNR_MODULE_FOLDER)).lexically_normal().string());
    }
    if (folders.empty() || folders.front() != SNR_MODULES_IN_BUILD)
        folders.emplace_back(SNR_MODULES_IN_BUILD);
    return folders;
}

struct Loaded {
    const void* functions = nullptr;
    std::string path, failure;
};

Loaded load_from(const std::string& folder, const std::string& name)
{
    Loaded loaded{nullptr, join_path(folder, name + ".so"), {}};
    // Its symbols stay its own: it carries copies of parts of the program.
    void* handle = ::dlopen(loaded.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::string failure = ::dlerror();
        if (failure.starts_with(loaded.path + ": "))
            failure.erase(0, loaded.path.size() + 2);
        loaded.failure = failure;
        return loaded;
    }
    const auto entry = reinterpret_cast<const ModuleEntry* (*)()>(::dlsym(handle, "snr_maps_module"));
    const ModuleEntry* module = entry != nullptr ? entry() : nullptr;
    if (module == nullptr || std::strcmp(module->version, SNR_VERSION) != 0) {
        loaded.failure = "not a module of snr-maps " SNR_VERSION;
        return loaded;
    }
    loaded.functions = module->functions;
    return loaded;
}

Loaded load(const std::string& name)
{
    Loaded first;
    for (const std::string& folder : module_folders()) {
        Loaded loaded = load_from(folder, name);
        if (loaded.functions != nullptr)
            return loaded;
        if (first.path.empty())
            first = std::move(loaded);
    }
    return first;
}

}  // namespace

const void* load_module(const std::string& name)
{
    Loaded loaded = load(name);
    if (loaded.functions == nullptr) {
        Error error("cannot load a module: " + loaded.failure);
        error.set_subject(loaded.path);
        throw error;
    }
    return loaded.functions;
}

const void* find_module(const std::string& name) { return load(name).functions; }

}  // namespace snr
