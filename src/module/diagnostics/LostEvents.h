#pragma once
// The module's ledger of events its appenders accepted and could not write: a running total per
// appender name, kept after the appender is closed or destroyed, so that a host can tell its user
// what was lost at the end of a run.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "utility/DString.h"

namespace Quorlin::LostEvents {

// Adds `count` lost events to the total of the appender called `name` (an empty name counts as "").
void Add(const ORBEK::Utility::DString& name, std::uint64_t count);

// The total lost by the appender called `name` since the module was loaded (or Clear); 0 when none.
std::uint64_t Of(const std::string& name);

// Every appender with a loss and its total, in the order of their first loss.
std::vector<std::pair<std::string, std::uint64_t>> All();

// Forgets every total (for tests).
void Clear();

}  // namespace Quorlin::LostEvents
