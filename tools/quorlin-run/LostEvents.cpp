#include "LostEvents.h"

namespace QuorlinRun {

bool ReportLostEvents(const Quorlin::Configuration& config, LostEventsOfFn lostEventsOf, std::FILE* out)
{
    if (lostEventsOf == nullptr)
        return false;
    bool lost = false;
    for (const Quorlin::AppenderConfig& appender : config.appenders) {
        const unsigned long long count = lostEventsOf(appender.name.c_str());
        if (count == 0)
            continue;
        std::fprintf(out, "quorlin-run: appender '%s' lost %llu %s\n", appender.name.c_str(), count,
                     count == 1 ? "event" : "events");
        lost = true;
    }
    return lost;
}

}  // namespace QuorlinRun
