#include "LossAccount.h"

#include "diagnostics/LostEvents.h"
#include "diagnostics/Trace.h"
#include "diagnostics/WriteStalls.h"

namespace Quorlin {

void LossAccount::Lost(std::uint64_t events, const WString& file)
{
    if (events == 0)
        return;
    m_Total.fetch_add(events, std::memory_order_relaxed);
    LostEvents::Add(m_Appender.GetName(), events);
    if (m_Pending.fetch_add(events) == 0) {
        WriteStalls::Begin();
        Trace(LevelError, "[{$}] {$}, cannot write to [{$}]; events are counted until writing works again",
              m_Appender.GetInstanceNumber(), m_Owner, file);
    }
}

DString LossAccount::Note(const WString& file, std::uint64_t& count) const
{
    count = m_Pending.load();
    return count == 0 ? DString() : Format("-- (Quorlin) {$} events could not be written to [{$}]\r\n", count, file);
}

DString LossAccount::OpenNote(const WString& file, std::uint64_t& count) const
{
    count = m_Pending.load();
    return count == 0
               ? DString()
               : Format("-- (Quorlin) {$} events could not be written while [{$}] could not be opened\r\n\r\n", count, file);
}

void LossAccount::Noted(std::uint64_t count, const WString& file, bool opened)
{
    if (count > 0 && m_Pending.fetch_sub(count) == count)
        WriteStalls::End();
    if (opened)
        Trace(LevelError, "[{$}] {$}, [{$}] is open again; {$} events could not be written", m_Appender.GetInstanceNumber(),
              m_Owner, file, count);
    else if (count > 0)
        Trace(LevelError, "[{$}] {$}, writing to [{$}] works again; {$} events could not be written",
              m_Appender.GetInstanceNumber(), m_Owner, file, count);
}

void LossAccount::Settle()
{
    if (m_Pending.exchange(0) > 0)
        WriteStalls::End();
}

void LossAccount::ReportAtClose(const WString& file) const
{
    if (const std::uint64_t total = Total())
        Trace(LevelError, "[{$}] {$}, closed with {$} events lost in all: they could not be written to [{$}]",
              m_Appender.GetInstanceNumber(), m_Owner, total, file);
}

}  // namespace Quorlin
