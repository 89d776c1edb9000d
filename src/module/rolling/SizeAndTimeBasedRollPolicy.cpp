#include "SizeAndTimeBasedRollPolicy.h"

#include "diagnostics/Trace.h"
#include "rolling/Helper.h"
#include "rolling/HistoryListing.h"

namespace Quorlin {
SizeAndTimeBasedRollPolicy::SizeAndTimeBasedRollPolicy() = default;

SizeAndTimeBasedRollPolicy::~SizeAndTimeBasedRollPolicy() = default;

void SizeAndTimeBasedRollPolicy::ActivateOptions()
{
    Trace(LevelInfo, "Enter SizeAndTimeBasedRollPolicy::ActivateOptions");
    TimeBasedRollPolicy::ActivateOptions();
}

std::unique_ptr<RolloverDescription> SizeAndTimeBasedRollPolicy::RolloverAt(const WString& activeFileName,
                                                                            const std::int64_t* when)
{
    if (m_HistoryFileNamePattern.IsEmpty()) {
        Trace(LevelError, "SizeAndTimeBasedRollPolicy::Rollover due to m_HistoryFileNamePattern is empty");
        return nullptr;
    }
    const std::int64_t at = when != nullptr ? *when : Now();
    Purge(&at);
    WString history = NameAt(m_HistoryFileNamePattern, at);
    if (history.Find(Rolling::Helper::kRollingIndex) >= 0) {
        // Within a period: app.1.log, app.2.log, ... one above the highest. While gzip runs, or after it
        // failed, app.1.log.gz may lie beside app.2.log, and at 999 the count starts from 0 again: the
        // number taken is the first from there on that names no file in any form.
        const std::int32_t highest = Rolling::Helper::HighestIndex(history);
        history = Rolling::Helper::ApplyIndex(history, Rolling::Helper::FreeIndex(history, highest + 1));
    } else if (HistoryNameTaken(activeFileName, history)) {
        return nullptr;
    }
    Trace(LevelInfo, "SizeAndTimeBasedRollPolicy.Will rename (if exist) [{$}] -> [{$}]", activeFileName, history);
    return Describe(activeFileName, history, LeftOverPlainHistory(at, activeFileName));
}

bool SizeAndTimeBasedRollPolicy::Purge(const std::int64_t* when)
{
    Trace(LevelInfo, "Enter SizeAndTimeBasedRollPolicy::Purge");
    WalkPurgeSlots("SizeAndTimeBasedRollPolicy", when, true,
                   [](const WString& name, bool stemVariants, Rolling::HistoryListing& listing) {
                       if (name.Find(Rolling::Helper::kRollingIndex) >= 0) {
                           // Every form counts: plain and compressed numbers interleave while gzip
                           // runs or after it failed.
                           if (const std::int32_t highest = Rolling::Helper::HighestNumberInUse(name, &listing); highest > 0)
                               Rolling::Helper::Delete(name, highest, &listing);
                       } else {
                           Trace(LevelInfo, "SizeAndTimeBasedRollPolicy, Will delete (if exist) [{$}]", name);
                           Rolling::Helper::DeleteVariants(name, stemVariants, &listing);
                       }
                   });
    return true;
}

}  // namespace Quorlin
