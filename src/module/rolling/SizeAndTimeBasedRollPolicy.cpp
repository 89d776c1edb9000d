#include "SizeAndTimeBasedRollPolicy.h"

#include <string>

#include "frame/Trace.h"
#include "os/Clock.h"
#include "os/Path.h"
#include "rolling/Helper.h"
#include "rolling/HistoryListing.h"
#include "rolling/PurgeFilter.h"
#include "rolling/SlotNamer.h"

namespace Quorlin {
namespace {

std::int64_t Seconds(std::int64_t ticks) { return ticks / os::kTicksPerSecond; }

std::wstring ExtensionOf(const WString& pattern)
{
    os::PathParts parts;
    return os::SplitPath(pattern.StdView(), parts).Ok() ? parts.extension : std::wstring();
}

} // namespace

SizeAndTimeBasedRollPolicy::SizeAndTimeBasedRollPolicy() = default;

SizeAndTimeBasedRollPolicy::~SizeAndTimeBasedRollPolicy() = default;

void SizeAndTimeBasedRollPolicy::ActivateOptions()
{
    Trace(50000, "Enter SizeAndTimeBasedRollPolicy::ActivateOptions");
    TimeBasedRollPolicy::ActivateOptions();
}

std::unique_ptr<RolloverDescription> SizeAndTimeBasedRollPolicy::RolloverAt(const WString& activeFileName,
                                                                           const std::int64_t* when)
{
    if (m_HistoryFileNamePattern.IsEmpty()) {
        Trace(80000, "SizeAndTimeBasedRollPolicy::Rollover due to m_HistoryFileNamePattern is empty");
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
    Trace(50000, "SizeAndTimeBasedRollPolicy.Will rename (if exist) [{$}] -> [{$}]", activeFileName, history);
    return Describe(activeFileName, history);
}

bool SizeAndTimeBasedRollPolicy::Purge(const std::int64_t* when)
{
    Trace(50000, "Enter SizeAndTimeBasedRollPolicy::Purge");
    const PurgeSlots slots = PurgeSlotsAt(when != nullptr ? *when : Now());
    const DString& pattern = m_HistoryFileNamePattern;
    const bool tracing = LogLog::IsOn();
    if (tracing)
        Trace(50000, "SizeAndTimeBasedRollPolicy::Purge, first FileName : {$}", NameAt(pattern, slots.first));

    const WString widePattern(pattern);
    const bool stemVariants = Rolling::Helper::HasStemVariants(widePattern);
    Rolling::HistoryListing listing;
    // A numbered slot has files only when its number 1 exists in some form; a slot without the token
    // only when its family does.
    Rolling::PurgeFilter numbered(listing, Rolling::PurgeFilter::Mode::FirstNumber, false, {});
    Rolling::PurgeFilter unnumbered(listing, Rolling::PurgeFilter::Mode::Family, stemVariants, ExtensionOf(widePattern));
    Rolling::SlotNamer namer;
    bool fast = !tracing && NamerPays() && namer.Prepare(pattern, Seconds(slots.Last()), Seconds(slots.first));
    std::wstring rendered, key;
    // Whether the names hold the index token does not change with the time.
    const bool indexed = NameAt(pattern, slots.first).Find(Rolling::Helper::kRollingIndex) >= 0;
    Rolling::PurgeFilter& filter = indexed ? numbered : unnumbered;
    for (;;) {
        bool agreed = true;
        // With one directory for all names only the folded file part of each is made and looked up.
        const Rolling::PurgeFilter::Keys* keys = fast && namer.FixedDirectory() ? &filter.KeysOf(namer.Directory()) : nullptr;
        std::int64_t t = slots.first;
        for (std::int32_t i = 0; i < slots.count; ++i, t -= slots.step) {
            if (keys != nullptr) {
                namer.KeyAt(Seconds(t), key);
                if (!keys->MayHold(key))
                    continue;
                namer.NameAt(Seconds(t), rendered);
            } else if (fast) {
                namer.NameAt(Seconds(t), rendered);
                if (!filter.MayHold(rendered))
                    continue;
            }
            const WString name = NameAt(pattern, t);
            if (fast && name.StdView() != rendered) {
                agreed = false;  // the namer went wrong somewhere: visit every slot again with the host
                break;
            }
            if (name.Find(Rolling::Helper::kRollingIndex) >= 0) {
                // Every form counts: plain and compressed numbers interleave while gzip runs or after it failed.
                if (const std::int32_t highest = Rolling::Helper::HighestNumberInUse(name, &listing); highest > 0)
                    Rolling::Helper::Delete(name, highest, &listing);
            } else {
                Trace(50000, "SizeAndTimeBasedRollPolicy, Will delete (if exist) [{$}]", name);
                Rolling::Helper::DeleteVariants(name, stemVariants, &listing);
            }
        }
        if (agreed) {
            if (tracing)
                Trace(50000, "SizeAndTimeBasedRollPolicy::Purge,  last FileName : {$}", NameAt(pattern, t));
            return true;
        }
        fast = false;
    }
}

} // namespace Quorlin
