// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/modules.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>

#include "core/errors.h"
#include "core/path.h"

namespace snr::snrmap {

namespace {

std::string module_folder()
{
    if (const char* chosen = ::secure_getenv("SNRMAP_MODULES"); chosen != nullptr && *chosen != '\0')
        return chosen;
    char program[4096];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
    const std::string folder = length > 0 ? folder_part(std::string(program, static_cast<std::size_t>(length))) : ".";
    // The program's folder is a real one (the kernel resolved it): its ".." is its parent.
    return std::filesystem::path(join_path(folder, SNRMAP_MODULE_FOLDER)).lexically_normal().string();
}

[[noreturn]] void refuse(const std::string& reason) { throw Error("snrmap: cannot load a module: " + reason); }

}  // namespace

const void* load_module(const std::string& name)
{
    const std::string path = join_path(module_folder(), name + ".so");
    // Its symbols stay its own: it carries copies of parts of this program.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        refuse(::dlerror());  // names the file
    const auto entry = reinterpret_cast<const ModuleEntry* (*)()>(::dlsym(handle, "snrmap_module"));
    const ModuleEntry* module = entry != nullptr ? entry() : nullptr;
    if (module == nullptr || std::strcmp(module->version, SNRMAP_VERSION) != 0)
        refuse(path + ": not a module of snrmap " SNRMAP_VERSION);
    return module->functions;
}

}  // namespace snr::snrmap
