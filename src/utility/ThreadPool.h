#pragma once
// The thread-pool library stand-in: the pool Manager's logging set-up (schedules: SingletonSchedule.h).

#include <string>
#include <vector>

namespace ORBEK::Utility {

using PoolLogger = void (*)(int level, const char* text);

class ORBEK_THREADPOOL_API Manager {
public:
    // Installs the pool's logger; null silences the pool.
    static void SetLogger(PoolLogger logger);
    // Routes the pool's messages to standard error.
    static void OpenLogger();
    // Makes the pool ready for schedules; true when it is.
    static bool Prepare();

    static PoolLogger GetLogger();
    // The set-up calls made so far, in order ("SetLogger(null)", "OpenLogger", "Prepare").
    static std::vector<std::string> Calls();
};

}  // namespace ORBEK::Utility
