#include "../System.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <limits>
#include <system_error>

namespace Quorlin::Detail::System {

bool ToLocalTime(std::int64_t seconds, std::tm& local) noexcept
{
    if (seconds < std::numeric_limits<time_t>::min() || seconds > std::numeric_limits<time_t>::max())
        return false;
    const time_t when = static_cast<time_t>(seconds);
    return ::localtime_r(&when, &local) != nullptr;
}

std::uint64_t CurrentThreadId() noexcept { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

std::string ErrorText(std::uint32_t code) { return std::system_category().message(static_cast<int>(code)); }

void* LoadModule(const std::string& path, std::string& error)
{
    error.clear();
    void* module = ::dlopen(path.c_str(), RTLD_NOW);
    if (module == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : "cannot load " + path;
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) noexcept
{
    return module != nullptr && name != nullptr ? ::dlsym(module, name) : nullptr;
}

void FreeModule(void* module) noexcept
{
    if (module != nullptr)
        ::dlclose(module);
}

}  // namespace Quorlin::Detail::System
