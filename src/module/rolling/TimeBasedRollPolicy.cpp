#include "TimeBasedRollPolicy.h"

#include <climits>
#include <string>
#include <unordered_set>

#include "diagnostics/Trace.h"
#include "host/Utility.h"
#include "os/Clock.h"
#include "os/Path.h"
#include "rolling/CompressionSequence.h"
#include "rolling/FileRenameAction.h"
#include "rolling/GZCompressAction.h"
#include "rolling/Helper.h"
#include "rolling/HistoryListing.h"
#include "rolling/PurgeFilter.h"
#include "rolling/SlotNamer.h"

namespace Quorlin {
namespace {

constexpr std::int32_t kPurgeMinutes = 43200;         // 30 days of periods are purged
constexpr std::int32_t kCleanHistoryMinutes = 44640;  // 31 days of active files are cleaned up

bool Has(const DString& text, const char* token) { return text.Find(token) >= 0; }

std::int32_t Saturated(std::int64_t value) { return value > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(value); }

std::int64_t Seconds(std::int64_t ticks) { return ticks / os::kTicksPerSecond; }

// Whether any token of the pattern changes with the time: without one every period has the same name.
bool HasDateToken(const DString& pattern)
{
    for (const char* token : {"{yyyy}", "{yy}", "{MM}", "{M}", "{dd}", "{d}", "{HH}", "{H}", "{mm}", "{m}", "{ss}", "{s}"})
        if (Has(pattern, token))
            return true;
    return false;
}

std::wstring ExtensionOf(const WString& pattern)
{
    os::PathParts parts;
    return os::SplitPath(pattern.StdView(), parts).Ok() ? parts.extension : std::wstring();
}

}  // namespace

TimeBasedRollPolicy::TimeBasedRollPolicy() = default;

TimeBasedRollPolicy::~TimeBasedRollPolicy() = default;

void TimeBasedRollPolicy::SetOption(const DString& key, const DString& value)
{
    if (key.Find("fileName/value") == 0)
        m_FileName = value;
    else if (Has(key, "/maxHistory/value"))
        m_HistoryValue = value.Int();
    else if (Has(key, "/fileNamePattern/value"))
        m_HistoryFileNamePattern = value;
    else if (Has(key, "/cleanHistoryOnStart/value"))
        m_CleanHistoryOnStart = value.Bool();
}

void TimeBasedRollPolicy::ActivateOptions()
{
    const DString& pattern = m_HistoryFileNamePattern;
    if (!pattern.IsEmpty() && !HasDateToken(pattern))
        Trace(LevelWarn,
              "TimeBasedRollPolicy::ActivateOptions, [{$}] has no date token: no history file is ever old, and the history "
              "is kept whole; only a window (rollingPolicy/maxIndex) or a date token in the pattern bounds it",
              pattern);
    if (pattern.IsEmpty()) {
        Trace(LevelError, "TimeBasedRollPolicy::ActivateOptions, m_HistoryFileNamePattern is empty !!!");
    } else if (m_HistoryValue <= 0) {
        Trace(LevelError, "TimeBasedRollPolicy::ActivateOptions, m_HistoryValue is 0 !!!");
    } else if (Has(pattern, "{ss}") || Has(pattern, "{s}")) {
        Trace(LevelError, "TimeBasedRollPolicy::ActivateOptions, using {ss}/{$} in m_HistoryFileNamePattern is not allowed !!!");
    } else {
        // The finest unit present sets the period: {HH} with {dd} rolls hourly.
        if (Has(pattern, "{mm}") || Has(pattern, "{m}")) {
            m_HistoryMinutes = m_HistoryValue;
            m_PeriodMinutes = 1;
            Trace(LevelInfo, "TimeBasedRollPolicy::ActivateOptions, Precision : minute of {$}",
                  static_cast<std::int64_t>(m_HistoryValue));  // an int32 alone would pick the (text, length) overload
        } else if (Has(pattern, "{HH}") || Has(pattern, "{H}")) {
            m_HistoryMinutes = Saturated(static_cast<std::int64_t>(m_HistoryValue) * 60);
            m_PeriodMinutes = 60;
            Trace(LevelInfo, "TimeBasedRollPolicy::ActivateOptions, Precision : hour of {$}",
                  static_cast<std::int64_t>(m_HistoryValue));
        } else if (Has(pattern, "{dd}") || Has(pattern, "{d}")) {
            m_HistoryMinutes = Saturated(static_cast<std::int64_t>(m_HistoryValue) * 1440);
            m_PeriodMinutes = 1440;
            Trace(LevelInfo, "TimeBasedRollPolicy::ActivateOptions, Precision : day of {$}",
                  static_cast<std::int64_t>(m_HistoryValue));
        } else {
            Trace(LevelInfo, "TimeBasedRollPolicy::ActivateOptions, Invalid FileNamePattern, use default value");
        }
        if (LogLog::IsOn()) {
            const std::int64_t first = PurgeSlotsAt(Now()).first;
            Trace(LevelInfo, "TimeBasedRollPolicy::ActivateOptions, first FileName to be deleted: {$}", NameAt(pattern, first));
        }
    }
    if (m_CleanHistoryOnStart) {
        Trace(LevelInfo, "TimeBasedRollPolicy::ActivateOptions, cleanHistoryOnStart is true, purge now !!!");
        CleanHistory();
    }
}

std::unique_ptr<RolloverDescription> TimeBasedRollPolicy::Rollover(const WString& activeFileName)
{
    const std::int64_t now = Now();
    return RolloverAt(activeFileName, &now);
}

std::unique_ptr<RolloverDescription> TimeBasedRollPolicy::RolloverAt(const WString& activeFileName, const std::int64_t* when)
{
    if (m_HistoryFileNamePattern.IsEmpty()) {
        Trace(LevelError, "TimeBasedRollPolicy::Rollover due to m_HistoryFileNamePattern is empty");
        return nullptr;
    }
    const std::int64_t at = when != nullptr ? *when : Now();
    Purge(&at);
    const WString history = NameAt(m_HistoryFileNamePattern, at);
    if (HistoryNameTaken(activeFileName, history))
        return nullptr;
    Trace(LevelInfo, "TimeBasedRollPolicy.Will rename (if exist) [{$}] -> [{$}]", activeFileName, history);
    return Describe(activeFileName, history, LeftOverPlainHistory(at, activeFileName));
}

bool TimeBasedRollPolicy::Purge(const std::int64_t* when)
{
    Trace(LevelInfo, "Enter TimeBasedRollPolicy::Purge");
    WalkPurgeSlots("TimeBasedRollPolicy", when, false,
                   [](const WString& name, bool stemVariants, Rolling::HistoryListing& listing) {
                       Trace(LevelInfo, "TimeBasedRollPolicy, Will delete (if exist) [{$}]", name);
                       Rolling::Helper::DeleteVariants(name, stemVariants, &listing);
                   });
    return true;
}

struct TimeBasedRollPolicy::PurgeWalk {
    std::int64_t at = 0;
    PurgeSlots slots;
    bool stemVariants = false;
    Rolling::HistoryListing& listing;
    Rolling::PurgeFilter& filter;
    const PurgeSlotDeleter& deleteSlot;
    // Made on the first slot that has files: most purges find none.
    std::unordered_set<std::wstring> kept;
    bool keptMade = false;
};

void TimeBasedRollPolicy::WalkPurgeSlots(const char* owner, const std::int64_t* when, bool numbered,
                                         const PurgeSlotDeleter& deleteSlot)
{
    const std::int64_t at = when != nullptr ? *when : Now();
    const PurgeSlots slots = PurgeSlotsAt(at);
    const DString& pattern = m_HistoryFileNamePattern;
    const bool tracing = LogLog::IsOn();
    if (tracing)
        Trace(LevelInfo, "{$}::Purge, first FileName : {$}", owner, NameAt(pattern, slots.first));

    const WString widePattern(pattern);
    const bool stemVariants = Rolling::Helper::HasStemVariants(widePattern);
    Rolling::HistoryListing listing;
    // A numbered slot has files only when its number 1 exists in some form; a slot without the token
    // only when its family does. Whether the names hold the token does not change with the time.
    const bool byFirstNumber = numbered && NameAt(pattern, slots.first).Find(Rolling::Helper::kRollingIndex) >= 0;
    Rolling::PurgeFilter filter = byFirstNumber
                                      ? Rolling::PurgeFilter(listing, Rolling::PurgeFilter::Mode::FirstNumber, false, {})
                                      : Rolling::PurgeFilter(listing, Rolling::PurgeFilter::Mode::Family, stemVariants,
                                                             ExtensionOf(widePattern));
    PurgeWalk walk{at, slots, stemVariants, listing, filter, deleteSlot, {}, false};
    Rolling::SlotNamer namer;
    const bool fast = !tracing && NamerPays() && namer.Prepare(pattern, Seconds(slots.Last()), Seconds(slots.first));
    // Should the namer ever name a slot otherwise than the host, every slot is visited again with the host.
    if (!fast || !VisitPurgeSlots(walk, &namer))
        VisitPurgeSlots(walk, nullptr);
    if (tracing)
        Trace(LevelInfo, "{$}::Purge,  last FileName : {$}", owner, NameAt(pattern, slots.first - slots.count * slots.step));
}

bool TimeBasedRollPolicy::VisitPurgeSlots(PurgeWalk& walk, Rolling::SlotNamer* namer) const
{
    // With one directory for all names only the folded file part of each is made and looked up.
    const Rolling::PurgeFilter::Keys* keys = namer != nullptr && namer->FixedDirectory() ? &walk.filter.KeysOf(namer->Directory())
                                                                                         : nullptr;
    std::wstring rendered, key;
    std::int64_t t = walk.slots.first;
    for (std::int32_t i = 0; i < walk.slots.count; ++i, t -= walk.slots.step) {
        if (keys != nullptr) {
            namer->KeyAt(Seconds(t), key);
            if (!keys->MayHold(key))
                continue;
            namer->NameAt(Seconds(t), rendered);
        } else if (namer != nullptr) {
            namer->NameAt(Seconds(t), rendered);
            if (!walk.filter.MayHold(rendered))
                continue;
        }
        const WString name = NameAt(m_HistoryFileNamePattern, t);
        if (namer != nullptr && name.StdView() != rendered)
            return false;
        // A pattern that names periods alike ({dd} alone: the 6th of last month is named as today) must
        // not delete what is kept; without a date token every period is the current one.
        if (!walk.keptMade) {
            KeptNamesAt(walk.at, walk.kept);
            walk.keptMade = true;
        }
        if (walk.kept.count(std::wstring(name.StdView())) != 0)
            continue;
        walk.deleteSlot(name, walk.stemVariants, walk.listing);
    }
    return true;
}

bool TimeBasedRollPolicy::CleanHistory()
{
    const std::int64_t step = m_PeriodMinutes * kTicksPerMinute;
    const std::int32_t count = kCleanHistoryMinutes / m_PeriodMinutes;
    const std::int64_t first = Now() - step;
    const std::int64_t last = first - count * step;

    // The first and the last name are written out; those between only when a file may have them.
    Rolling::HistoryListing listing;
    const WString firstName = NameAt(m_FileName, first);
    Trace(LevelInfo, "SizeAndTimeBasedRollPolicy.CleanHistory, first FileName : [{$}]", firstName);
    RollOverIfPresent(firstName, first, listing);
    if (count == 0) {
        Trace(LevelInfo, "SizeAndTimeBasedRollPolicy.CleanHistory, last  FileName : [{$}]", firstName);
        return true;
    }
    Rolling::SlotNamer namer;
    const bool fast = NamerPays() && namer.Prepare(m_FileName, Seconds(last), Seconds(first));
    // Should the namer ever name a slot otherwise than the host, the slots are walked again with the
    // host alone: those already rolled over have no file left.
    if (!CleanSlotsBetween(first - step, count - 1, fast ? &namer : nullptr, listing))
        CleanSlotsBetween(first - step, count - 1, nullptr, listing);
    const WString lastName = NameAt(m_FileName, last);
    RollOverIfPresent(lastName, last, listing);
    Trace(LevelInfo, "SizeAndTimeBasedRollPolicy.CleanHistory, last  FileName : [{$}]", lastName);
    return true;
}

bool TimeBasedRollPolicy::CleanSlotsBetween(std::int64_t from, std::int32_t count, Rolling::SlotNamer* namer,
                                            Rolling::HistoryListing& listing)
{
    const std::int64_t step = m_PeriodMinutes * kTicksPerMinute;
    std::wstring rendered;
    std::int64_t t = from;
    for (std::int32_t i = 0; i < count; ++i, t -= step) {
        if (namer != nullptr) {
            namer->NameAt(Seconds(t), rendered);
            if (!listing.MayExist(WString(std::wstring_view(rendered))))
                continue;
        }
        const WString name = NameAt(m_FileName, t);
        if (namer != nullptr && name.StdView() != rendered)
            return false;
        RollOverIfPresent(name, t, listing);
    }
    return true;
}

void TimeBasedRollPolicy::RollOverIfPresent(const WString& activeFileName, std::int64_t at, Rolling::HistoryListing& listing)
{
    if (!listing.Exists(activeFileName))
        return;
    if (std::unique_ptr<RolloverDescription> description = RolloverAt(activeFileName, &at)) {
        if (!description->synchronous || description->synchronous->Execute()) {
            if (description->asynchronous)
                description->asynchronous->Execute();
        }
    }
    listing.Clear();  // the roll-over moved files
}

TimeBasedRollPolicy::PurgeSlots TimeBasedRollPolicy::PurgeSlotsAt(std::int64_t when) const
{
    PurgeSlots slots;
    slots.step = m_PeriodMinutes * kTicksPerMinute;
    slots.first = when - (static_cast<std::int64_t>(m_HistoryMinutes) + m_PeriodMinutes) * kTicksPerMinute;
    slots.count = m_PeriodMinutes > 0 ? kPurgeMinutes / m_PeriodMinutes : 0;
    return slots;
}

void TimeBasedRollPolicy::KeptNamesAt(std::int64_t when, std::unordered_set<std::wstring>& names) const
{
    const PurgeSlots slots = PurgeSlotsAt(when);
    const DString& pattern = m_HistoryFileNamePattern;
    Rolling::SlotNamer namer;
    const bool fast = NamerPays() && namer.Prepare(pattern, Seconds(slots.first + slots.step), Seconds(when));
    std::wstring rendered;
    for (std::int64_t t = when; t > slots.first; t -= slots.step) {
        if (fast) {
            namer.NameAt(Seconds(t), rendered);
            names.insert(rendered);
        } else {
            names.insert(std::wstring(NameAt(pattern, t).StdView()));
        }
    }
}

WString TimeBasedRollPolicy::NameAt(const DString& pattern, std::int64_t ticks)
{
    return Rolling::Helper::NameAt(pattern, ticks);
}

bool TimeBasedRollPolicy::HistoryNameTaken(const WString& activeFileName, const WString& historyName)
{
    const bool stemVariants = Rolling::Helper::HasStemVariants(WString(m_HistoryFileNamePattern));
    const bool taken = Rolling::Helper::FamilyExists(historyName, stemVariants);
    if (taken && !m_NameTaken)
        Trace(LevelError,
              "TimeBasedRollPolicy, history file [{$}] exists already; it is kept, and [{$}] goes on growing until a free "
              "history name comes",
              historyName, activeFileName);
    m_NameTaken = taken;
    return taken;
}

std::int64_t TimeBasedRollPolicy::Now() { return os::NowTicks(); }

std::vector<WString> TimeBasedRollPolicy::LeftOverPlainHistory(std::int64_t when, const WString& activeFileName) const
{
    std::unordered_set<std::wstring> kept;
    KeptNamesAt(when, kept);
    Rolling::HistoryListing listing;
    std::vector<WString> plain;
    const auto add = [&](const WString& name) {
        if (name.CompareNoCase(activeFileName) != 0 && listing.Exists(name))
            plain.push_back(name);
    };
    for (const std::wstring& text : kept) {
        const WString name{std::wstring_view(text)};
        if (name.Find(Rolling::Helper::kRollingIndex) < 0) {
            add(name);
            continue;
        }
        const std::int32_t highest = Rolling::Helper::HighestNumberInUse(name, &listing);
        for (std::int32_t i = 1; i <= highest; ++i)
            add(Rolling::Helper::ApplyIndex(name, i));
    }
    return plain;
}

std::unique_ptr<RolloverDescription> TimeBasedRollPolicy::Describe(const WString& activeFileName, const WString& historyName,
                                                                   const std::vector<WString>& leftOvers)
{
    auto description = std::make_unique<RolloverDescription>();
    description->synchronous = std::make_shared<FileRenameAction>(activeFileName, historyName);
    auto compressions = std::make_shared<CompressionSequence>();
    compressions->Add(std::make_shared<GZCompressAction>(historyName, historyName + L".gz", true));
    for (const WString& name : leftOvers)
        compressions->Add(std::make_shared<GZCompressAction>(name, name + L".gz", true));
    description->asynchronous = compressions;
    return description;
}

}  // namespace Quorlin
