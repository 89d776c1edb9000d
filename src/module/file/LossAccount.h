#pragma once
// The events one file appender accepted and could not write: counted while writing fails, told in the
// diagnostics when a spell of losses begins and when it ends, noted in the file where the gap is,
// added to the module's ledger at once, and summed up at Close.

#include <atomic>
#include <cstdint>

#include "host/Appender.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::WString;

class LossAccount {
public:
    // `owner` names the appender class in the diagnostics ("RollingFileAppender").
    LossAccount(const Appender& appender, const char* owner) : m_Appender(appender), m_Owner(owner) {}
    // A spell still under way ends with the account: no host waits for it.
    ~LossAccount() { Settle(); }
    LossAccount(const LossAccount&) = delete;
    LossAccount& operator=(const LossAccount&) = delete;

    void SetOwner(const char* owner) { m_Owner = owner; }
    // Counts `events` that could not be written to `file`; the first of a spell says so (LevelError), and
    // the module counts the appender as one that cannot write until the spell's note is written.
    void Lost(std::uint64_t events, const WString& file);
    // Whether losses wait for their note in the file.
    bool Pending() const { return m_Pending.load(std::memory_order_relaxed) != 0; }
    // The note that writing to `file` works again ("-- (Quorlin) N events could not be written to
    // [file]"), for the losses pending now; `count` tells how many it covers (0: none, no note).
    DString Note(const WString& file, std::uint64_t& count) const;
    // The same for a file that could not be opened at all: its note says so.
    DString OpenNote(const WString& file, std::uint64_t& count) const;
    // The note of `count` losses has reached the file: they are no longer pending, and the diagnostic
    // says that the spell is over (`opened`: the file could not be opened until now).
    void Noted(std::uint64_t count, const WString& file, bool opened = false);
    // At Close: a spell under way ends unnoted (its losses are in the total).
    void Settle();
    // At Close: the total of the appender's life, when any event was lost (LevelError).
    void ReportAtClose(const WString& file) const;

    std::uint64_t Total() const { return m_Total.load(std::memory_order_relaxed); }

private:
    const Appender& m_Appender;
    const char* m_Owner;
    std::atomic<std::uint64_t> m_Pending{0};
    std::atomic<std::uint64_t> m_Total{0};
};

}  // namespace Quorlin
