#pragma once
// The outcome a run's user must not miss: the events each appender accepted and could not write.

#include <cstdio>

#include "host/Configuration.h"

namespace QuorlinRun {

// The module's LostEventsOf export: events lost by the appender of that name since the module loaded.
using LostEventsOfFn = unsigned long long (*)(const char* name);

// Writes "quorlin-run: appender 'NAME' lost N events" for each appender of the configuration that lost
// events (none when the module has no LostEventsOf). True when any did.
bool ReportLostEvents(const Quorlin::Configuration& config, LostEventsOfFn lostEventsOf, std::FILE* out);

}  // namespace QuorlinRun
