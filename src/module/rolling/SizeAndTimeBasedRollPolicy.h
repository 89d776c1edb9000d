#pragma once
// History named by date and time and numbered within each period (app.2026-12-06.1.log, .2, .3 ...),
// for appenders that also roll by size.

#include "rolling/TimeBasedRollPolicy.h"

namespace Quorlin {

class SizeAndTimeBasedRollPolicy : public TimeBasedRollPolicy {
public:
    SizeAndTimeBasedRollPolicy();
    ~SizeAndTimeBasedRollPolicy() override;

    void ActivateOptions() override;
    // As the time-based roll-over, numbered one above the highest number of the period, and never onto
    // a number any of whose family names exists (compressed and plain numbers may interleave while
    // gzip runs, and the count stops at 999).
    std::unique_ptr<RolloverDescription> RolloverAt(const WString& activeFileName, const std::int64_t* when) override;

    // As the time-based purge, every number of each period with its variants. Always true.
    bool Purge(const std::int64_t* when);
};

}  // namespace Quorlin
