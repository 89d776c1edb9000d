#pragma once
// History named by date and time (app.2026-12-06.log), purged beyond the kept span.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "rolling/RollingPolicy.h"

namespace Quorlin {
namespace Rolling {
class HistoryListing;
class PurgeFilter;
class SlotNamer;
}  // namespace Rolling

class TimeBasedRollPolicy : public RollingPolicy {
public:
    TimeBasedRollPolicy();
    ~TimeBasedRollPolicy() override;

    // "fileName/value" (key begins with it), then keys containing "/maxHistory/value",
    // "/fileNamePattern/value" or "/cleanHistoryOnStart/value"; first match wins, others are ignored.
    void SetOption(const DString& key, const DString& value) override;
    // Derives the period and the kept span from the pattern's finest token and maxHistory (defaults:
    // days, 30 days on a bad value), warns (LevelWarn) when the pattern has no date token, then runs
    // CleanHistory when asked to.
    void ActivateOptions() override;
    // RolloverAt now.
    std::unique_ptr<RolloverDescription> Rollover(const WString& activeFileName) override;

    // Rolls over the active files of the past 31 days that were never rolled (the process was not
    // running when their period ended), each into the history name of its own period. Always true.
    virtual bool CleanHistory();
    // Purges, then names a rename of the active file to the history name at `when` (ticks; null: now)
    // and a compression of it. Null when the history pattern is empty, or when a file of that history
    // name exists already (HistoryNameTaken).
    virtual std::unique_ptr<RolloverDescription> RolloverAt(const WString& activeFileName, const std::int64_t* when);

    // Deletes the history of the 30 days of periods that lie beyond the kept span at `when`, but never a
    // name that the current period or a kept one has too. Always true.
    bool Purge(const std::int64_t* when);

    std::int32_t HistoryMinutes() const { return m_HistoryMinutes; }
    std::int32_t PeriodMinutes() const { return m_PeriodMinutes; }

protected:
    static constexpr std::int64_t kTicksPerMinute = 600'000'000;

    // The instants of one purge, newest first: `first` = when - (kept span + one period), then one
    // period further back each time.
    struct PurgeSlots {
        std::int64_t first = 0;
        std::int64_t step = 0;
        std::int32_t count = 0;
        std::int64_t Last() const { return first - (count - 1) * step; }
    };
    PurgeSlots PurgeSlotsAt(std::int64_t when) const;

    // Gets each history name of a purge slot that may name a file, with whether the pattern has stem
    // variants and the folder listing the deletions keep up to date.
    using PurgeSlotDeleter = std::function<void(const WString& name, bool stemVariants, Rolling::HistoryListing& listing)>;
    // The walk of the purges: traces the first and the last name ("<owner>::Purge, ..."), then visits
    // the slots at `when` newest first. Without diagnostics the names come from the fast namer and
    // only the slots a listed file may match are expanded by the host; should the two ever disagree,
    // every slot is visited again with the host. With `numbered`, slots whose names hold the index
    // token are looked for by their number 1. A slot named as the current period or a kept one is
    // skipped.
    void WalkPurgeSlots(const char* owner, const std::int64_t* when, bool numbered, const PurgeSlotDeleter& deleteSlot);
    // One visit of every slot of a walk, with the namer or (null) with the host alone; false, from the
    // first slot where the namer and the host name it differently, when they do.
    struct PurgeWalk;
    bool VisitPurgeSlots(PurgeWalk& walk, Rolling::SlotNamer* namer) const;

    // The steps of CleanHistory: the active files of `count` periods from `from` back, each rolled over
    // into its history when it exists. With a namer, only the names a listed file may have are expanded
    // by the host; false, from the first slot where the two disagree, when they do.
    bool CleanSlotsBetween(std::int64_t from, std::int32_t count, Rolling::SlotNamer* namer, Rolling::HistoryListing& listing);
    void RollOverIfPresent(const WString& activeFileName, std::int64_t at, Rolling::HistoryListing& listing);

    // Adds the history names of the current period at `when` and of every kept one before it; a purge
    // slot of one of these names is never deleted.
    void KeptNamesAt(std::int64_t when, std::unordered_set<std::wstring>& names) const;

    // The pattern's date and time tokens for the instant `ticks`.
    static WString NameAt(const DString& pattern, std::int64_t ticks);
    // Whether the namer pays: it checks itself against the host once an hour over the span, so only
    // periods shorter than an hour give it fewer host expansions than the slots themselves.
    bool NamerPays() const { return m_PeriodMinutes < 60; }
    static std::int64_t Now();
    // The plain history files of the current and the kept periods at `when` (every number of a numbered
    // name), but the active file: left by a roll-over whose compression never ran or never ended.
    std::vector<WString> LeftOverPlainHistory(std::int64_t when, const WString& activeFileName) const;
    // The rename into history, then the compression of the history file and of each left-over one.
    static std::unique_ptr<RolloverDescription> Describe(const WString& activeFileName, const WString& historyName,
                                                         const std::vector<WString>& leftOvers);
    // Whether a file of the history name's family exists already: a clock that went back, or an hour
    // that comes twice when the clocks fall back, names a period again. The roll-over is declined
    // then, so that the history is never replaced and the active file goes on growing until a name
    // is free; one diagnostic when such a spell begins.
    bool HistoryNameTaken(const WString& activeFileName, const WString& historyName);

    std::int32_t m_HistoryMinutes = 43200;
    std::int32_t m_PeriodMinutes = 1440;
    DString m_FileName;
    DString m_HistoryFileNamePattern;
    bool m_CleanHistoryOnStart = false;
    std::int32_t m_HistoryValue = 0;
    bool m_NameTaken = false;  // the last roll-over was declined for a history name in use
};

}  // namespace Quorlin
