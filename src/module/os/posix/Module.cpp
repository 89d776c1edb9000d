#include "../Module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace Quorlin::os {
namespace {

// The loader's entry for the binary that holds this code; null when it cannot be found.
const link_map* ThisModuleMap()
{
    Dl_info info;
    void* extra = nullptr;
    if (::dladdr1(reinterpret_cast<void*>(&ThisModuleMap), &info, &extra, RTLD_DL_LINKMAP) == 0)
        return nullptr;
    return static_cast<const link_map*>(extra);
}

}  // namespace

std::string ThisModulePath()
{
    const link_map* map = ThisModuleMap();
    if (!map || !map->l_name)
        return {};
    // The program itself has an empty name in the loader's list.
    if (map->l_name[0] == '\0')
        return ExecutablePath();
    if (map->l_name[0] == '/')
        return map->l_name;
    // A library opened by a relative name keeps that name.
    char resolved[PATH_MAX];
    return ::realpath(map->l_name, resolved) ? resolved : "";
}

std::string ExecutablePath()
{
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void FreeModule(ModuleHandle module)
{
    if (module)
        ::dlclose(module);
}

ModuleHandle AcquireThisModule()
{
    const link_map* map = ThisModuleMap();
    if (!map || !map->l_name)
        return nullptr;
    // The program is never unloaded; a library gains a reference without being loaded anew, and
    // RTLD_NODELETE keeps it mapped after its last dlclose: a thread that releases the last reference
    // still has to return through the library's code, which has no FreeLibraryAndExitThread here.
    if (map->l_name[0] == '\0')
        return ::dlopen(nullptr, RTLD_NOW);
    return ::dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

void ReleaseModuleAndExitThread(ModuleHandle module)
{
    if (module)
        ::dlclose(module);
}

}  // namespace Quorlin::os

namespace Quorlin::os {

const char* SharedLibrarySuffix() noexcept { return ".so"; }

}  // namespace Quorlin::os
