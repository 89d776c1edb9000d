#pragma once
// What the framework does with a configuration: load modules, create, configure and open the
// appenders, hand them events, close them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Appender.h"
#include "Configuration.h"

namespace Quorlin {

enum class StartError { None, Configuration, Appender };

class QUORLIN_API Framework {
public:
    Framework();
    ~Framework();  // Stop, then unload the modules
    Framework(const Framework&) = delete;
    Framework& operator=(const Framework&) = delete;

    // Loads the default module, creates and configures every appender (options in file order), registers
    // it, activates all, then opens each one that is still closed. On failure returns the kind of error
    // and a message naming the appender; what was started is stopped again.
    StartError Start(const Configuration& config, const std::string& modulePath, std::string& error);

    // Hands one event to every root appender (nothing below the root level). Thread-safe.
    void Log(std::int32_t level, const char* message, std::int32_t length);
    // The same with the event's time given (100-ns ticks since 1970 UTC), for a caller that knows when
    // its events happened: lines read together from one block of input, for one.
    void Log(std::int32_t level, const char* message, std::int32_t length, std::int64_t timeStamp);

    // Closes every appender, each one after all that reference it ("appender-ref" options), and forgets them.
    void Stop();

    const std::vector<std::shared_ptr<Appender>>& RootAppenders() const { return m_Root; }
    // An exported symbol of the loaded modules (the first that has it), or null.
    void* ModuleSymbol(const char* name) const;
    std::shared_ptr<Appender> Find(const std::string& name) const;

private:
    struct Created {
        std::shared_ptr<Appender> appender;
        std::vector<std::string> references;
    };
    void* LoadModuleFor(const std::string& path, std::string& error);

    std::vector<void*> m_Modules;
    std::vector<Created> m_Appenders;
    std::vector<std::shared_ptr<Appender>> m_Root;
    std::int32_t m_RootLevel = 0;
};

}  // namespace Quorlin
