#include "ReferencePurge.h"

#include <set>
#include <string>

#include "diagnostics/Trace.h"
#include "host/Utility.h"
#include "rolling/Helper.h"

namespace QuorlinTest {
namespace {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;
namespace Helper = Quorlin::Rolling::Helper;

constexpr std::int64_t kTicksPerMinute = 600'000'000;

WString NameAt(const DString& pattern, std::int64_t ticks)
{
    const std::int64_t seconds = ticks / 10'000'000;
    return Quorlin::Utility::PatternToFileName(pattern.c_str(), &seconds);
}

template <typename Slot>
void Loop(const PurgeSetup& setup, std::int64_t when, const char* first, const char* last, Slot slot)
{
    std::int64_t t = when - (static_cast<std::int64_t>(setup.historyMinutes) + setup.periodMinutes) * kTicksPerMinute;
    // The names of the current and the kept periods, which no slot may delete.
    std::set<std::wstring> kept;
    for (std::int64_t k = when; k > t; k -= setup.periodMinutes * kTicksPerMinute)
        kept.insert(std::wstring(NameAt(setup.pattern, k).StdView()));
    Quorlin::Trace(50000, first, NameAt(setup.pattern, t));
    for (std::int32_t i = 0; i < 43200 / setup.periodMinutes; ++i) {
        const WString name = NameAt(setup.pattern, t);
        if (kept.count(std::wstring(name.StdView())) == 0)
            slot(name);
        t -= setup.periodMinutes * kTicksPerMinute;
    }
    Quorlin::Trace(50000, last, NameAt(setup.pattern, t));
}

}  // namespace

void ReferenceTimeBasedPurge(const PurgeSetup& setup, std::int64_t when)
{
    Quorlin::Trace(50000, "Enter TimeBasedRollPolicy::Purge");
    const bool stemVariants = Helper::HasStemVariants(WString(setup.pattern));
    Loop(setup, when, "TimeBasedRollPolicy::Purge, first FileName : {$}", "TimeBasedRollPolicy::Purge,  last FileName : {$}",
         [&](const WString& name) {
             Quorlin::Trace(50000, "TimeBasedRollPolicy, Will delete (if exist) [{$}]", name);
             Helper::DeleteVariants(name, stemVariants);
         });
}

void ReferenceSizeAndTimeBasedPurge(const PurgeSetup& setup, std::int64_t when)
{
    Quorlin::Trace(50000, "Enter SizeAndTimeBasedRollPolicy::Purge");
    const bool stemVariants = Helper::HasStemVariants(WString(setup.pattern));
    Loop(setup, when, "SizeAndTimeBasedRollPolicy::Purge, first FileName : {$}",
         "SizeAndTimeBasedRollPolicy::Purge,  last FileName : {$}", [&](const WString& name) {
             if (name.Find(Helper::kRollingIndex) >= 0) {
                 if (const std::int32_t highest = Helper::HighestNumberInUse(name); highest > 0)
                     Helper::Delete(name, highest);
             } else {
                 Quorlin::Trace(50000, "SizeAndTimeBasedRollPolicy, Will delete (if exist) [{$}]", name);
                 Helper::DeleteVariants(name, stemVariants);
             }
         });
}

}  // namespace QuorlinTest
