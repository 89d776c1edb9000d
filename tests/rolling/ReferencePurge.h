#pragma once
// The purge loops as plainly written, one expansion and every family name asked for per slot: the
// baseline the policies' purges must match in effect and in diagnostics, and the benchmark's yardstick.

#include <cstdint>

#include "utility/DString.h"

namespace QuorlinTest {

struct PurgeSetup {
    ORBEK::Utility::DString pattern;  // the history pattern
    std::int32_t historyMinutes = 0;
    std::int32_t periodMinutes = 0;
};

void ReferenceTimeBasedPurge(const PurgeSetup& setup, std::int64_t when);
void ReferenceSizeAndTimeBasedPurge(const PurgeSetup& setup, std::int64_t when);

}  // namespace QuorlinTest
